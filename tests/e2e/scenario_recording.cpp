#include "tests/e2e/scenario_recording.h"

#include <algorithm>
#include <cstring>
#include <deque>

namespace scenario {

namespace {

const size_t kStampSize = 8;
const size_t kAudioLog = 512;

// Six bits of the number per byte, all bytes 0x80..0xBF: never a zero, so a
// stamp neither makes nor breaks a start code.
void Stamp(uint64_t number, uint8_t* out) {
  for (size_t i = 0; i < kStampSize; ++i) out[i] = uint8_t(0x80 | ((number >> (6 * i)) & 0x3F));
}

bool StampFits(const uint8_t* field) {
  for (size_t i = 0; i < kStampSize; ++i) {
    // 0xFF might begin an audio frame header the preview looks for.
    if (field[i] == 0x00 || field[i] == 0x01 || field[i] == 0xFF) return false;
  }
  return true;
}

uint32_t PacketsBack(int delay, uint32_t bitRate, uint32_t length) {
  uint64_t magnitude = uint64_t(delay < 0 ? -delay : delay);
  return uint32_t((magnitude * bitRate * 1000 / (uint64_t(length) * 8) + 5) / 10);
}

}  // namespace

bool Recording::Load(const std::vector<uint8_t>& clip, uint64_t size) {
  if (clip.empty() || clip.size() % kPackSize || size % kPackSize) return false;
  clip_ = clip;
  size_ = size;
  stamps_.clear();
  audio_.clear();
  for (size_t p = 0; p < clip_.size(); p += kPackSize) {
    const uint8_t* pack = &clip_[p];
    if (pack[0] || pack[1] || pack[2] != 1 || pack[3] != 0xBA || (pack[13] & 7)) return false;
    const uint8_t* packet = pack + 14;
    if (packet[0] || packet[1] || packet[2] != 1) continue;  // a padding-only pack
    uint8_t id = packet[3];
    uint32_t length = uint32_t(packet[4] << 8 | packet[5]);
    bool audio = id >= 0xC0 && id <= 0xDF, video = id >= 0xE0 && id <= 0xEF;
    if (!audio && !video) continue;
    uint32_t payload = 14 + 9 + packet[8];
    uint32_t end = 14 + 6 + length;
    if (end > kPackSize || payload >= end) return false;
    if (audio) audio_.push_back({p, p + payload, end - payload});
    if (end - payload >= 2 * kStampSize && StampFits(pack + end - kStampSize))
      stamps_.push_back(uint32_t(p + end - kStampSize));
  }
  return !audio_.empty() && !stamps_.empty();
}

void Recording::Raw(uint64_t at, uint8_t* out, size_t count) const {
  const uint64_t clipSize = clip_.size();
  while (count > 0) {
    uint64_t rep = at / clipSize, in = at % clipSize;
    size_t part = size_t(std::min<uint64_t>(count, clipSize - in));
    memcpy(out, &clip_[size_t(in)], part);
    // Stamps whose field overlaps [in, in + part).
    auto first = std::lower_bound(stamps_.begin(), stamps_.end(), in >= kStampSize ? in - kStampSize + 1 : 0);
    for (auto s = first; s != stamps_.end() && *s < in + part; ++s) {
      uint8_t field[kStampSize];
      Stamp(rep * stamps_.size() + uint64_t(s - stamps_.begin()) + 1, field);
      for (size_t i = 0; i < kStampSize; ++i) {
        uint64_t b = *s + i;
        if (b >= in && b < in + part) out[b - in] = field[i];
      }
    }
    out += part;
    at += part;
    count -= part;
  }
}

std::vector<AudioPacket> Recording::AudioFrom(uint64_t from) const {
  std::vector<AudioPacket> packets;
  const uint64_t clipSize = clip_.size();
  for (uint64_t base = from / clipSize * clipSize; base < size_; base += clipSize) {
    for (const AudioPacket& a : audio_) {
      AudioPacket p = {base + a.pack, base + a.payload, a.length};
      if (p.pack >= from && p.payload + p.length <= size_) packets.push_back(p);
    }
  }
  return packets;
}

Copied::Copied(const Recording& recording, uint64_t from, int delayTenths, uint32_t bitRate)
    : recording_(recording), from_(from), audio_(recording.AudioFrom(from)) {
  // The correction's log: it empties when the payload length changes, K is
  // set at the first packet of a length, and a packet takes the payload K
  // back once the log holds that many.
  std::deque<size_t> log;
  uint32_t length = 0, back = 0;
  source_.assign(audio_.size(), -1);
  for (size_t i = 0; i < audio_.size(); ++i) {
    uint32_t n = audio_[i].length;
    if (length != 0 && n != length) log.clear();
    if (n != length) {
      back = 0;
      length = n;
    }
    if (back == 0) back = PacketsBack(delayTenths, bitRate, n);
    if (back > 0 && log.size() >= back && delayTenths > 0) source_[i] = int64_t(log[log.size() - back]);
    log.push_back(i);
    if (log.size() > kAudioLog) log.pop_front();
  }
}

void Copied::Bytes(uint64_t at, uint8_t* out, size_t count) const {
  uint64_t lo = from_ + at, hi = lo + count;
  recording_.Raw(lo, out, count);
  auto first = std::lower_bound(audio_.begin(), audio_.end(), lo,
                                [](const AudioPacket& p, uint64_t x) { return p.payload + p.length <= x; });
  for (auto p = first; p != audio_.end() && p->payload < hi; ++p) {
    int64_t from = source_[size_t(p - audio_.begin())];
    if (from < 0) continue;
    uint64_t a = std::max(lo, p->payload), b = std::min(hi, p->payload + p->length);
    recording_.Raw(audio_[size_t(from)].payload + (a - p->payload), out + (a - lo), size_t(b - a));
  }
}

size_t Copied::MovedPackets() const {
  return size_t(std::count_if(source_.begin(), source_.end(), [](int64_t s) { return s >= 0; }));
}

uint64_t RingOffsetOf(uint64_t start, uint64_t s) {
  const uint64_t firstLap = kRingEnd - start;
  if (s < firstLap) return start + s;
  return kRingStart + kMirror + (s - firstLap) % kLapLength;
}

uint64_t OutputOffsetAfter(uint64_t start, uint64_t count) {
  // A full lap leaves the offset at the ring end: the wrap comes with the next chunk.
  if (count == 0) return start;
  return RingOffsetOf(start, count - 1) + 1;
}

uint64_t StreamBefore(uint64_t start, int lap, uint64_t offset) {
  const uint64_t firstLap = kRingEnd - start;
  if (lap == 0) return offset > start ? std::min(offset, kRingEnd) - start : 0;
  uint64_t in = offset > kRingStart + kMirror ? std::min(offset, kRingEnd) - kRingStart - kMirror : 0;
  return firstLap + uint64_t(lap - 1) * kLapLength + in;
}

std::vector<uint8_t> ExpectedRing(const Copied& copied, uint64_t start) {
  std::vector<uint8_t> ring(size_t(kRingLength), 0);
  uint64_t out = start;
  const size_t block = 1 << 20;
  for (uint64_t s = 0; s < copied.Size();) {
    if (out == kRingEnd) {
      memmove(&ring[size_t(kRingStart)], &ring[size_t(kRingEnd - kMirror)], size_t(kMirror));
      out = kRingStart + kMirror;
    }
    size_t n = size_t(std::min<uint64_t>({block, copied.Size() - s, kRingEnd - out}));
    copied.Bytes(s, &ring[size_t(out)], n);
    out += n;
    s += n;
  }
  return ring;
}

}  // namespace scenario
