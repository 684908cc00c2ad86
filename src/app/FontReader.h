// Reading the fonts is the longest part of a start, so it runs beside the rest.
// Fontconfig's part (its configuration and caches) needs no application
// object: it begins before there is one, while the display connection opens.
// Qt's list of the installed faces follows on the same thread once the
// application exists. The font database is shared and locked: the first
// control sized to its text waits for whatever is left, after waiting here
// for fontconfig's part.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

class FontReader {
  public:
    FontReader();
    // Goes on with Qt's part. Call once the QGuiApplication exists.
    void readInstalledFaces();
    // Blocks until fontconfig's part is done. Fontconfig loads its
    // configuration again for a caller that comes while it is loading, so
    // the first text measured on another thread waits here instead.
    void awaitConfiguration();
    // Waits for the thread; call before the application object goes. Without
    // readInstalledFaces it ends once fontconfig's part is done.
    void finish();
    ~FontReader() { finish(); }

  private:
    std::mutex lock_;
    std::condition_variable_any wake_;
    bool configured_ = false;        // lock_
    bool applicationExists_ = false; // lock_
    std::jthread thread_;            // last: started once the rest exists
};
