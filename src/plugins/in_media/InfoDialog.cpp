#include "InfoDialog.h"

#include "Module.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdio>

namespace media {
namespace {

QLabel* value(const std::string& text, const char* name)
{
    auto* label = new QLabel(QString::fromUtf8(text.c_str()));
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

std::string channels_text(int channels)
{
    return channels == 1 ? "mono" : channels == 2 ? "stereo" : std::to_string(channels) + " (played as stereo)";
}

} // namespace

std::string length_text(int64_t ms)
{
    if (ms < 0)
        return "unknown";
    const int64_t seconds = ms / 1000;
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    return text;
}

InfoDialog::InfoDialog(const std::string& path, const Description& description, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("File info");
    auto* form = new QFormLayout;
    createProperties(path, description.properties, form);
    createTags(description.tags, form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void InfoDialog::createProperties(const std::string& path, const StreamProperties& p, QFormLayout* form)
{
    form->addRow("File:", value(path, "file"));
    form->addRow("Format:", value(p.format, "format"));
    form->addRow("Codec:", value(p.codec, "codec"));
    form->addRow("Sample rate:", value(std::to_string(p.sampleRate) + " Hz", "sampleRate"));
    form->addRow("Channels:", value(channels_text(p.channels), "channels"));
    if (p.bitsPerSample > 0)
        form->addRow("Bits per sample:", value(std::to_string(p.bitsPerSample), "bits"));
    if (p.bitrateKbps > 0)
        form->addRow("Bit rate:", value(std::to_string(p.bitrateKbps) + " kbit/s", "bitrate"));
    form->addRow("Length:", value(length_text(p.lengthMs), "length"));
}

void InfoDialog::createTags(const Tags& tags, QFormLayout* form)
{
    if (tags.empty()) {
        form->addRow("Tags:", value("none", "tags"));
        return;
    }
    auto* list = new QTreeWidget;
    list->setObjectName("tags");
    list->setColumnCount(2);
    list->setHeaderLabels({"Tag", "Value"});
    list->setRootIsDecorated(false);
    for (const auto& [key, text] : tags)
        list->addTopLevelItem(new QTreeWidgetItem({QString::fromUtf8(key.c_str()), QString::fromUtf8(text.c_str())}));
    list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    form->addRow("Tags:", list);
}

} // namespace media
