#include "FontReader.h"

#include <QFontDatabase>
#include <QStringList>

#include <fontconfig/fontconfig.h>

FontReader::FontReader()
    : thread_([this](std::stop_token stop) {
          FcInit();
          std::unique_lock<std::mutex> hold(lock_);
          configured_ = true;
          wake_.notify_all();
          if (!wake_.wait(hold, stop, [this] { return applicationExists_; }))
              return;
          hold.unlock();
          QFontDatabase::families();
      })
{
}

void FontReader::readInstalledFaces()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        applicationExists_ = true;
    }
    wake_.notify_all();
}

void FontReader::awaitConfiguration()
{
    std::unique_lock<std::mutex> hold(lock_);
    wake_.wait(hold, [this] { return configured_; });
}

void FontReader::finish()
{
    if (!thread_.joinable())
        return;
    thread_.request_stop();
    thread_.join();
}
