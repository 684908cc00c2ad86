// orvella-probe over every fixture: valid JSON lines with the readers' values.

#include "Fixtures.h"
#include "support/TodaysFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

namespace {

struct ProbeRun {
    int status = -1;
    std::vector<QJsonObject> lines;
    QString errors;
};

ProbeRun Probe(const QStringList& arguments)
{
    QProcess process;
    process.start(QString(ORVELLA_TOOLS_DIR) + "orvella-probe", arguments);
    ProbeRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.status = process.exitCode();
    run.errors = QString::fromUtf8(process.readAllStandardError());
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        run.lines.push_back(doc.object());
    }
    return run;
}

QString Name(const std::string& fixture)
{
    return QString::fromStdString(fixtures::Fixture(fixture));
}

} // namespace

TEST(Probe, AllReadersOverEveryTestFile)
{
    QStringList files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(ORVELLA_TEST_DATA_DIR))
        if (entry.is_regular_file())
            files << QString::fromStdString(entry.path().string());
    const QStringList readers = {"id3v1", "id3v2",  "mpeg",   "ogg",    "ogginf", "wma",
                                 "wav",   "wavinf", "monkey", "apetag", "twinvq"};
    QStringList arguments{"all"};
    arguments += files;
    ProbeRun run = Probe(arguments);
    ASSERT_EQ(run.status, 0) << run.errors.toStdString();
    ASSERT_EQ(run.lines.size(), static_cast<std::size_t>(files.size() * readers.size()));

    std::map<std::pair<QString, QString>, QJsonObject> fields;
    for (std::size_t i = 0; i < run.lines.size(); ++i) {
        const QJsonObject& line = run.lines[i];
        EXPECT_EQ(line["file"].toString(), files[static_cast<qsizetype>(i / readers.size())]);
        EXPECT_EQ(line["reader"].toString(), readers[static_cast<qsizetype>(i % readers.size())]);
        EXPECT_TRUE(line["read"].isBool());
        fields[{line["file"].toString(), line["reader"].toString()}] = line["fields"].toObject();
    }
    auto field = [&](const std::string& file, const QString& reader) { return fields[{Name(file), reader}]; };

    // Nesting, full precision, texts decoded from UTF-16 and UTF-8.
    QJsonObject mpeg = field("lame_vbr.mp3", "mpeg");
    EXPECT_EQ(mpeg["VBR"].toObject()["FrameCount"].toInt(), 78);
    EXPECT_EQ(mpeg["Frame"].toObject()["RawHeader"].toArray().size(), 4);
    EXPECT_EQ(mpeg["Id3v2Tag"].toObject()["TagVersion"].toInt(), 4);
    EXPECT_EQ(mpeg["DurationSeconds"].toDouble(), 1152.0 * 78 / 44100);
    EXPECT_EQ(field("id3v23_mutagen.mp3", "id3v2")["Title"].toString(), "Wide");
    // Versions 2.4 (UTF-8, UTF-16) and 2.2, alone and inside the MPEG reader.
    const std::pair<const char*, const char*> titles[] = {{"id3v24_mid3v2.mp3", "Grüße aus Köln"},
                                                          {"id3v24_utf16.mp3", "Wide Ω title"},
                                                          {"id3v22_mutagen.mp3", "Two Two Ω"}};
    for (const auto& [file, title] : titles) {
        EXPECT_EQ(field(file, "id3v2")["Title"].toString(), QString::fromUtf8(title)) << file;
        EXPECT_EQ(field(file, "mpeg")["Id3v2Tag"].toObject()["Title"].toString(), QString::fromUtf8(title)) << file;
    }
    EXPECT_EQ(field("id3v24_utf16.mp3", "id3v2")["Artist"].toString(), QString::fromUtf8("Big Ënd"));
    EXPECT_EQ(field("id3v24_mid3v2.mp3", "mpeg")["Id3v2Tag"].toObject()["Year"].toString(), "2019");
    EXPECT_EQ(field("vorbis_comments.ogg", "ogginf")["Title"].toString(), QString::fromUtf8("Café € Title"));
    EXPECT_EQ(field("monkey_3800_id3v1.ape", "monkey")["Id3v1Tag"].toObject()["GenreName"].toString(), "Rock");
}

TEST(Probe, MissingFilesAndBadArguments)
{
    ProbeRun run = Probe({"ogg", "/nonexistent/file.ogg", Name("vorbis_comments.ogg")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.errors.contains("/nonexistent/file.ogg"));
    ASSERT_EQ(run.lines.size(), 1u);
    EXPECT_EQ(run.lines[0]["fields"].toObject()["Title"].toString(), QString::fromUtf8("Café € Title"));

    testsupport::TempDir dir; // exists, but cannot be read as a file
    run = Probe({"ogg", QString::fromStdString(dir.path())});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines.at(0)["fields"].toObject()["OpenError"].toInt(), EISDIR);

    EXPECT_EQ(Probe({"flac", Name("vorbis_comments.ogg")}).status, 2);
    EXPECT_EQ(Probe({"all"}).status, 2);
}

// Files as today's tools write them: each reader that takes one gives its length, rates and texts.
TEST(Probe, TodaysFiles)
{
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::MakeTodaysFiles(dir.path()));
    // The readers the player and the display use for each extension; the APE tag for texts too.
    const std::map<std::string, QStringList> readersOf = {
        {"mp3", {"mpeg"}}, {"wav", {"wav", "wavinf"}}, {"ogg", {"ogg", "ogginf"}}, {"wma", {"wma"}}};
    for (const testsupport::TodaysFile& f : testsupport::TodaysFiles()) {
        const std::string path = dir.file(f.name);
        const std::string extension = f.name.substr(f.name.rfind('.') + 1);
        const double kbps =
            f.kbps != 0 ? f.kbps : std::round(double(std::filesystem::file_size(path)) * 8 / f.seconds / 1000);
        for (const QString& reader : readersOf.at(extension)) {
            ProbeRun run = Probe({reader, QString::fromStdString(path)});
            ASSERT_EQ(run.lines.size(), 1u) << f.name;
            const QJsonObject fields = run.lines[0]["fields"].toObject();
            const std::string what = f.name + " " + reader.toStdString();
            EXPECT_NEAR(fields["DurationSeconds"].toDouble(), f.seconds, f.tolerance) << what;
            EXPECT_EQ(fields["SampleRate"].toInt(), int(f.rate)) << what;
            if (fields.contains("BitRateKbps")) {
                EXPECT_NEAR(fields["BitRateKbps"].toDouble(), kbps, f.kbpsTolerance) << what;
            }
            if (!f.title.empty() && extension != "mp3") {
                EXPECT_EQ(fields["Title"].toString(), QString::fromStdString(f.title)) << what;
                EXPECT_EQ(fields["Artist"].toString(), QString::fromStdString(f.artist)) << what;
            }
        }
        if (extension == "mp3" && !f.title.empty()) {
            const QJsonObject ape = Probe({"apetag", QString::fromStdString(path)}).lines.at(0)["fields"].toObject();
            EXPECT_EQ(ape["Title"].toString(), QString::fromStdString(f.title));
            EXPECT_EQ(ape["Artist"].toString(), QString::fromStdString(f.artist));
        }
    }
}
