#include "FontReader.h"

#include <QFontDatabase>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <pthread.h>

namespace {

cpu_set_t processorsOfProgram()
{
    cpu_set_t all;
    if (sched_getaffinity(0, sizeof all, &all) != 0)
        CPU_ZERO(&all);
    return all;
}

// Moves `thread` off the processor this thread runs on, when there is another.
void startElsewhere(std::jthread& thread, const cpu_set_t& processors)
{
    const int here = sched_getcpu();
    cpu_set_t others = processors;
    if (here < 0 || !CPU_ISSET(here, &others))
        return;
    CPU_CLR(here, &others);
    if (CPU_COUNT(&others) > 0)
        pthread_setaffinity_np(thread.native_handle(), sizeof others, &others);
}

} // namespace

FontReader::FontReader()
    : processors_(processorsOfProgram()), thread_([this](std::stop_token stop) {
          FcInit();
          // Running now, it may go anywhere again.
          if (CPU_COUNT(&processors_) > 0)
              sched_setaffinity(0, sizeof processors_, &processors_);
          std::unique_lock<std::mutex> hold(lock_);
          configured_ = true;
          wake_.notify_all();
          if (!wake_.wait(hold, stop, [this] { return applicationExists_; }))
              return;
          hold.unlock();
          QFontDatabase::families();
      })
{
    startElsewhere(thread_, processors_);
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
