#pragma once

// The waveform-audio output behind the playback engine: one device opened for one wave format, fed
// blocks of bytes, handing each block back once it has played (or once a reset discarded it).

#include "format/WavHeader.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tessa::platform {

// The tags of the formats an output is opened with are the WAVE format tags.
using tessa::WaveFormatTag;
using enum tessa::WaveFormatTag;

// The format a device is opened for; all of the program's formats are mono at 8000 samples per second.
struct WaveFormat {
    uint16_t formatTag = WaveTagPcm;
    uint16_t channels = 1;
    uint32_t samplesPerSecond = 8000;
    uint32_t averageBytesPerSecond = 16000;
    uint16_t blockAlign = 2;
    uint16_t bitsPerSample = 16;
    uint16_t extraSize = 0;       // 2 when samplesPerBlock is given
    uint16_t samplesPerBlock = 0; // IMA ADPCM and GSM only

    bool operator==(const WaveFormat&) const = default;
};

// A block handed to the output. It belongs to the output from write() until it is handed back through
// the completion function; the engine then frees it on its callback thread.
struct WaveBlock {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
};

// Results of device calls, kept by the engine for inspection.
enum class WaveResult {
    Ok = 0,
    BadFormat,    // the format cannot be opened
    NotOpen,      // no device is open
    AlreadyOpen,  // a device is open already
    StillPlaying, // close refused: blocks are still queued
    NoDevice,     // no output device at all
    Failed,
};

// Called once for every block written, from any thread of the output (or from reset() itself). It must
// only hand the block on: the engine posts it to its callback thread.
using WaveBlockDone = std::function<void(WaveBlock*)>;

class WaveOutput {
public:
    virtual ~WaveOutput() = default;

    // Whether open() would accept the format; opens nothing.
    virtual WaveResult query(const WaveFormat& format) = 0;
    virtual WaveResult open(const WaveFormat& format, WaveBlockDone done) = 0;
    // Queues a block behind those already queued.
    virtual WaveResult write(WaveBlock* block) = 0;
    // Called on the engine's callback thread for each finished block, before it is freed.
    virtual void unprepare(WaveBlock*) {}
    // Stops at once and hands every queued block back.
    virtual WaveResult reset() = 0;
    // Refuses with StillPlaying while blocks are queued.
    virtual WaveResult close() = 0;
    // Plays faster or slower (percent of the recording's pace, 50 to 200) keeping the pitch. Every sample
    // written is still played: at 200 a block of one second plays in half a second. Kept across opens;
    // blocks already queued play on at the new speed.
    virtual void setSpeed(int percent) = 0;
};

// Turns the bytes of one wave format into 16-bit PCM for an output that plays only PCM. The codecs
// are the audio layer's: an output is handed a factory and never knows a coding itself.
class SampleExpander {
public:
    virtual ~SampleExpander() = default;
    // Appends the samples of `length` bytes to `out`.
    virtual void expand(const uint8_t* data, size_t length, std::vector<int16_t>& out) = 0;
    // Forgets any decoder history, as when playing starts over.
    virtual void reset() = 0;
};
using SampleExpanderFactory = std::function<std::unique_ptr<SampleExpander>(const WaveFormat&)>;

} // namespace tessa::platform
