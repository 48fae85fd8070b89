// The recording of the typical-use scenario and where its bytes must land.
// A short ffmpeg clip (2048-byte packs, Layer II audio) is repeated with
// every pack stamped with its own number, so that no two packs of the whole
// recording are alike; the copy of it, with the audio payloads the delay
// correction moves, is placed into the ring as the ring file's layout says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace scenario {

const uint64_t kPackSize = 2048;
const uint64_t kRingLength = (uint64_t(1) << 28) - 1;  // Size=28
const uint64_t kRingEnd = (uint64_t(1) << 28) - 524288;
const uint64_t kRingStart = 4096;                       // with the kept head
const uint64_t kMirror = 2097152;                       // copied at each wrap
const uint64_t kLapLength = kRingEnd - kRingStart - kMirror;

struct AudioPacket {
  uint64_t pack;     // stream offset of its pack
  uint64_t payload;  // stream offset of its first payload byte
  uint32_t length;
};

class Recording {
 public:
  // False when the clip is not made of 2048-byte packs with 14-byte headers.
  bool Load(const std::vector<uint8_t>& clip, uint64_t size);
  uint64_t Size() const { return size_; }
  // Bytes [at, at + count) as the recorder writes them.
  void Raw(uint64_t at, uint8_t* out, size_t count) const;
  // The audio packets the correction recognises (right after a 14-byte pack
  // header) whose pack starts at or after `from`, in stream order.
  std::vector<AudioPacket> AudioFrom(uint64_t from) const;

 private:
  std::vector<uint8_t> clip_;
  std::vector<uint32_t> stamps_;  // clip offsets of 8-byte stamp fields
  std::vector<AudioPacket> audio_;  // in clip offsets
  uint64_t size_ = 0;
};

// The stream the copy writes: the recording from `from` on, each audio
// payload replaced by the one K packets earlier (a positive delay), with
// K and the packet log following the correction's rules.
class Copied {
 public:
  Copied(const Recording& recording, uint64_t from, int delayTenths, uint32_t bitRate);
  uint64_t Size() const { return recording_.Size() - from_; }
  uint64_t From() const { return from_; }
  void Bytes(uint64_t at, uint8_t* out, size_t count) const;
  size_t MovedPackets() const;

 private:
  const Recording& recording_;
  uint64_t from_;
  std::vector<AudioPacket> audio_;
  std::vector<int64_t> source_;  // index of the packet whose payload it takes, or -1
};

// Where stream byte `s` of a copy that began at output offset `start` lands:
// lap 0 from there, later laps after the mirror of the last 2 MiB before
// the ring end.
uint64_t RingOffsetOf(uint64_t start, uint64_t s);
// Output offset once `count` bytes have been copied.
uint64_t OutputOffsetAfter(uint64_t start, uint64_t count);
// Stream bytes copied before the ring offset `offset` of lap `lap`.
uint64_t StreamBefore(uint64_t start, int lap, uint64_t offset);
// The whole ring file after the copy, from a ring of zeros: the laps, the
// mirror of the last wrap, the zero tail.
std::vector<uint8_t> ExpectedRing(const Copied& copied, uint64_t start);

}  // namespace scenario
