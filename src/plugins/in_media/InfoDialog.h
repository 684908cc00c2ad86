// The file information box: the stream's properties and its tags.
#pragma once

#include "decoder/MediaDecoder.h"

#include <QDialog>

#include <string>

class QFormLayout;

namespace media {

class InfoDialog : public QDialog {
  public:
    InfoDialog(const std::string& path, const Description& description, QWidget* parent);

  private:
    void createProperties(const std::string& path, const StreamProperties& p, QFormLayout* form);
    void createTags(const Tags& tags, QFormLayout* form);
};

// "m:ss" (or "h:mm:ss"), "unknown" for a negative length.
std::string length_text(int64_t ms);

} // namespace media
