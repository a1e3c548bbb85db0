#include "platform/PcmFeed.h"

#include <algorithm>
#include <cmath>

namespace tessa::platform {

// Named rather than anonymous: libraries may be built in unity batches, where anonymous namespaces of
// different files merge.
namespace pcm_feed_internal {

// Samples put into the stretcher at a time while the device asks for more: small enough that a block
// is not used up long before its samples are heard.
constexpr size_t kPutChunk = 256;

} // namespace pcm_feed_internal

void PcmFeed::push(WaveBlock* block, std::vector<int16_t> samples) {
    queue_.push_back({block, std::move(samples), 0});
}

size_t PcmFeed::pull(int16_t* out, size_t max, std::vector<WaveBlock*>& used) {
    size_t n = 0;
    // The stretcher's last samples from before the way back to 100 % go first, but for their end.
    const size_t plain = tail_.size() - blend_;
    while (n < max && tailNext_ < plain)
        out[n++] = tail_[tailNext_++];
    if (speed_ != 100)
        n += stretch_.take(out + n, max - n);
    while (n < max && !queue_.empty()) {
        Queued& q = queue_.front();
        const size_t left = q.samples.size() - q.next;
        if (speed_ == 100) {
            const size_t k = std::min(left, max - n);
            for (size_t i = 0; i < k; ++i) {
                int s = q.samples[q.next + i];
                if (tailNext_ < tail_.size()) {
                    // Cross-fade: the tail fades out while the untouched samples fade in.
                    const size_t j = tailNext_ - plain + 1;
                    const double in = double(j) / double(blend_ + 1);
                    s = int(std::lround(tail_[tailNext_] * (1.0 - in) + s * in));
                    ++tailNext_;
                }
                out[n + i] = int16_t(s);
            }
            q.next += k;
            used_ += k;
            n += k;
        } else {
            const size_t k = std::min(left, pcm_feed_internal::kPutChunk);
            stretch_.put(q.samples.data() + q.next, k);
            q.next += k;
            used_ += k;
            n += stretch_.take(out + n, max - n);
        }
        if (q.next == q.samples.size()) {
            used.push_back(q.block);
            queue_.pop_front();
        }
    }
    if (tailNext_ >= tail_.size()) {
        tail_.clear();
        tailNext_ = 0;
        blend_ = 0;
    }
    return n;
}

void PcmFeed::letOutTail() {
    if (!queue_.empty())
        return;
    // Nothing follows to fade into.
    blend_ = 0;
    if (stretch_.held() > 0)
        stretch_.drain();
}

void PcmFeed::setSpeed(int percent) {
    percent = std::clamp(percent, TempoStretch::kSlowest, TempoStretch::kFastest);
    if (percent == speed_)
        return;
    if (percent == 100) {
        stretch_.drain();
        const size_t before = tail_.size();
        tail_.resize(before + stretch_.ready());
        tail_.resize(before + stretch_.take(tail_.data() + before, tail_.size() - before));
        blend_ = std::min(kBlendSamples, tail_.size() - std::max(before, tailNext_));
    } else {
        // The stretcher starts from the next untouched sample; what is left of a tail goes out whole.
        blend_ = 0;
        stretch_.setSpeed(percent);
    }
    speed_ = percent;
}

std::vector<WaveBlock*> PcmFeed::clear() {
    std::vector<WaveBlock*> blocks;
    for (const Queued& q : queue_)
        blocks.push_back(q.block);
    queue_.clear();
    // Stale samples would be heard at the start of whatever plays next.
    stretch_.clear();
    tail_.clear();
    tailNext_ = 0;
    blend_ = 0;
    return blocks;
}

} // namespace tessa::platform
