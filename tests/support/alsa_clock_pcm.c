/* The sound card of the tests and benches: an ALSA playback device that takes
 * frames in real time, one period per tick of a timer, as a card's interrupt
 * would, and writes them to the raw file its configuration names (if any):
 *
 *   pcm_type.clock { lib "/path/to/this.so" }
 *   pcm.!default { type clock file "/path/heard.raw" }
 *
 * With `fail_after FRAMES` it fails as an unplugged card does once it has
 * taken that many frames: every transfer after them reports -ENODEV. With
 * `stall_after FRAMES` it stops playing, as a hung sound server does, once it
 * has played that many frames since it was prepared.
 *
 * When the program writes less than is due, the device waits for it instead of
 * playing silence; when it stops the device, what was sent but not yet played
 * is dropped from the file. So the file holds exactly what was heard. */
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>

#include <errno.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

typedef struct {
    snd_pcm_ioplug_t io;
    FILE* file;
    struct timespec begun;     /* when the device started */
    snd_pcm_uframes_t written; /* frames taken since prepare */
    int running;
    long failAfter;  /* frames taken in all before it fails; -1: never */
    long stallAfter; /* frames played in a run before it stalls; -1: never */
    long taken;      /* frames taken in all */
    long filed;      /* frames in the file */
    long runFrom;    /* frames in the file when the device was last prepared */
} ClockCard;

static double secondsSince(const struct timespec* then)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)(now.tv_sec - then->tv_sec) + (double)(now.tv_nsec - then->tv_nsec) / 1e9;
}

/* Frames played: what is due by now, but never more than was written (nor
 * than the card plays before it stalls). */
static snd_pcm_uframes_t played(const ClockCard* card)
{
    if (!card->running)
        return 0;
    snd_pcm_uframes_t due = (snd_pcm_uframes_t)(secondsSince(&card->begun) * card->io.rate);
    if (card->stallAfter >= 0 && due > (snd_pcm_uframes_t)card->stallAfter)
        due = (snd_pcm_uframes_t)card->stallAfter;
    return due < card->written ? due : card->written;
}

/* The poll descriptor ticks once per period while `on`. */
static void tick(ClockCard* card, int on)
{
    struct itimerspec timer;
    memset(&timer, 0, sizeof timer);
    if (on) {
        const long ns = (long)((double)card->io.period_size * 1e9 / card->io.rate);
        timer.it_interval.tv_sec = ns / 1000000000;
        timer.it_interval.tv_nsec = ns % 1000000000;
        timer.it_value = timer.it_interval;
    }
    timerfd_settime(card->io.poll_fd, 0, &timer, NULL);
}

static int cardStart(snd_pcm_ioplug_t* io)
{
    ClockCard* card = io->private_data;
    clock_gettime(CLOCK_MONOTONIC, &card->begun);
    card->running = 1;
    tick(card, 1);
    return 0;
}

static int cardStop(snd_pcm_ioplug_t* io)
{
    ClockCard* card = io->private_data;
    const long heard = card->runFrom + (long)played(card);
    if (card->running && card->file && heard < card->filed) {
        fflush(card->file);
        if (ftruncate(fileno(card->file), (off_t)heard * io->channels * 2) == 0)
            card->filed = heard;
        fseek(card->file, 0, SEEK_END);
    }
    card->running = 0;
    tick(card, 0);
    return 0;
}

static snd_pcm_sframes_t cardPointer(snd_pcm_ioplug_t* io)
{
    return (snd_pcm_sframes_t)(played(io->private_data) % io->buffer_size);
}

static snd_pcm_sframes_t cardTransfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                                      snd_pcm_uframes_t offset, snd_pcm_uframes_t size)
{
    ClockCard* card = io->private_data;
    if (card->failAfter >= 0) {
        if (card->taken >= card->failAfter)
            return -ENODEV;
        if ((long)size > card->failAfter - card->taken)
            size = (snd_pcm_uframes_t)(card->failAfter - card->taken);
    }
    card->taken += (long)size;
    if (card->file) {
        const char* frames = (const char*)areas->addr + (areas->first + areas->step * offset) / 8;
        fwrite(frames, 1, size * io->channels * 2, card->file);
        fflush(card->file);
        card->filed += (long)size;
    }
    card->written += size;
    return (snd_pcm_sframes_t)size;
}

static int cardPrepare(snd_pcm_ioplug_t* io)
{
    ClockCard* card = io->private_data;
    card->written = 0;
    card->running = 0;
    card->runFrom = card->filed;
    tick(card, 1); /* also before the start, so that the buffer is filled */
    return 0;
}

static int cardPollRevents(snd_pcm_ioplug_t* io, struct pollfd* fds, unsigned int count, unsigned short* revents)
{
    uint64_t ticks;
    (void)count;
    if (read(io->poll_fd, &ticks, sizeof ticks) < 0) {
        /* no tick pending */
    }
    *revents = (fds[0].revents & POLLIN) ? POLLOUT : 0;
    return 0;
}

static int cardClose(snd_pcm_ioplug_t* io)
{
    ClockCard* card = io->private_data;
    if (card->file)
        fclose(card->file);
    close(io->poll_fd);
    free(card);
    return 0;
}

static const snd_pcm_ioplug_callback_t cardCallbacks = {
    .start = cardStart,
    .stop = cardStop,
    .pointer = cardPointer,
    .transfer = cardTransfer,
    .close = cardClose,
    .prepare = cardPrepare,
    .poll_revents = cardPollRevents,
};

SND_PCM_PLUGIN_DEFINE_FUNC(clock)
{
    const char* path = NULL;
    long failAfter = -1, stallAfter = -1;
    snd_config_iterator_t i, next;
    (void)root;
    snd_config_for_each(i, next, conf)
    {
        snd_config_t* entry = snd_config_iterator_entry(i);
        const char* id;
        if (snd_config_get_id(entry, &id) != 0)
            continue;
        if (strcmp(id, "file") == 0)
            snd_config_get_string(entry, &path);
        else if (strcmp(id, "fail_after") == 0)
            snd_config_get_integer(entry, &failAfter);
        else if (strcmp(id, "stall_after") == 0)
            snd_config_get_integer(entry, &stallAfter);
    }
    if (stream != SND_PCM_STREAM_PLAYBACK)
        return -EINVAL;
    ClockCard* card = calloc(1, sizeof *card);
    if (!card)
        return -ENOMEM;
    if (path && !(card->file = fopen(path, "wb"))) {
        free(card);
        return -EIO;
    }
    card->failAfter = failAfter;
    card->stallAfter = stallAfter;
    card->io.version = SND_PCM_IOPLUG_VERSION;
    card->io.name = "real-time test card";
    card->io.mmap_rw = 0;
    card->io.poll_fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    card->io.poll_events = POLLIN;
    card->io.callback = &cardCallbacks;
    card->io.private_data = card;
    const int err = snd_pcm_ioplug_create(&card->io, name, stream, mode);
    if (err < 0) {
        close(card->io.poll_fd);
        if (card->file)
            fclose(card->file);
        free(card);
        return err;
    }
    static const unsigned int access[] = {SND_PCM_ACCESS_RW_INTERLEAVED, SND_PCM_ACCESS_MMAP_INTERLEAVED};
    static const unsigned int formats[] = {SND_PCM_FORMAT_S16_LE};
    snd_pcm_ioplug_set_param_list(&card->io, SND_PCM_IOPLUG_HW_ACCESS, 2, access);
    snd_pcm_ioplug_set_param_list(&card->io, SND_PCM_IOPLUG_HW_FORMAT, 1, formats);
    snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2);
    snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_RATE, 8000, 192000);
    snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 256, 1 << 20);
    snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64);
    snd_pcm_ioplug_set_param_minmax(&card->io, SND_PCM_IOPLUG_HW_BUFFER_BYTES, 1024, 4 << 20);
    *pcmp = card->io.pcm;
    return 0;
}
SND_PCM_PLUGIN_SYMBOL(clock);
