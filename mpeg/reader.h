// Buffered stream reader: finds start codes, strips the PES framing of program
// streams so the parsers see one video elementary stream, reads bits, and
// gives position tokens to come back to a point of the stream.
//
// The caller owns the position `pos`, an index into `buffer` of the current
// byte; `bits_left` says how many of its low bits are still unread. After a
// start code was found, `pos` is the byte after the four code bytes and
// `bits_left` is 8. A bit read that runs out of data returns all ones and sets
// `pos` to kReaderFailed; the next start-code search then fails. At the end
// of the data a look-ahead (show_bits) sees zero bits past the last byte, so
// the last codes of a stream that ends without an end code still decode.
//
// Every operation that reads the file takes a byte budget: the most bytes it
// may still read (see kSearchBudget and friends), so a search always ends.
#pragma once

#include <cstdint>

#include "mpeg/file_io.h"

// Room for the largest PES packet (6 + 65535 bytes) behind the bytes a move
// keeps before it (up to 4 + 511): a packet is delivered whole or not at all.
const uint32_t kReaderBufferSize = 0x11000;
const uint32_t kReaderFailed = 0xFFFFFFFF;
const uint32_t kProbeBudget = 32768;     // first probe
const uint32_t kSearchBudget = 0x200000; // any start-code search by the parsers
// A refill inside a bit read, and the return to a token: enough for the
// largest video packet and the other packets before it.
const uint32_t kRefillBudget = 0x40000;
const uint64_t kNoFooting = ~uint64_t{0};

enum : uint32_t {
  PICTURE_START_CODE = 0x00,
  SLICE_START_CODE_LAST = 0xAF,
  USER_DATA_START_CODE = 0xB2,
  SEQUENCE_HEADER_CODE = 0xB3,
  SEQUENCE_ERROR_CODE = 0xB4,
  EXTENSION_START_CODE = 0xB5,
  SEQUENCE_END_CODE = 0xB7,
  GROUP_START_CODE = 0xB8,
  PACK_START_CODE = 0xBA,
};

struct Reader {
  FileHandle file;
  uint32_t valid;          // bytes of buffer holding file data
  uint32_t limit;          // end of what the parsers may consume; 0: no current packet
  uint64_t buffer_offset;  // file offset of buffer[0]
  uint64_t packet_offset;  // file offset of the current PES packet's start code
  uint32_t payload_length; // bytes of the current packet's payload, up to `limit`
  // File offset of the video packet whose last bytes were carried in front
  // of the current payload, or kNoFooting when none were.
  uint64_t carried_from;
  uint32_t bits_left;      // 0..8 unread low bits of buffer[pos]
  bool program_stream;     // only video PES payload is delivered
  uint32_t stream_id;      // program stream: stream_id of the current packet
  // Program stream: file offset where the next pack or packet should begin,
  // or kNoFooting when the reader must scan for one.
  uint64_t next_packet;
  bool data_ended;         // no more data came: buffer[limit..limit + 8) are zeros
  // The file's size when last asked; a growing file only passes it, so
  // budgets that end below it need not ask the system again.
  mutable int64_t known_size;
  // Slack after the data: find_code may look up to three bytes past its
  // last index, a failed position may be one past the end, and the zeros
  // after the end of the data go there.
  uint8_t buffer[kReaderBufferSize + 16];
};

// Starts a reader on an open file (state as after opening: nothing buffered).
void reader_init(Reader& r, FileHandle file);
// Discards the buffer and moves the file pointer; returns the new file
// position, which becomes buffer_offset, or -1.
int64_t reader_seek(Reader& r, int64_t offset, FileSeekMethod method);
// min(n, bytes of the file not yet read into the buffer).
uint32_t reader_budget(const Reader& r, uint32_t n);
// Makes more data available; 1 when data up to `limit` is in the buffer.
int reader_fill(Reader& r, uint32_t& pos, uint32_t& budget, bool audio);
// Finds 00 00 01 X with (X & mask) == (code & mask), the 00 at pos..last.
int find_code(const Reader& r, uint32_t& pos, uint32_t last, uint32_t& code, uint32_t mask);
// Finds the next start code equal to `code`, or any when `code` is 0.
int next_start_code(Reader& r, uint32_t& pos, uint32_t budget, uint32_t& code);
// The general forms of get_bits and show_bits, which refill and end the data.
uint32_t get_bits_refilling(Reader& r, uint32_t& pos, int n);
uint32_t show_bits_refilling(Reader& r, uint32_t& pos, int n);

// The four bytes from `pos` with the bits already read shifted out, when
// they lie inside the data and n is 1..24; the fast path of the bit reads.
inline bool bits_at_hand(const Reader& r, uint32_t pos, int n, uint32_t& word) {
  if (pos >= kReaderBufferSize || pos + 4 >= r.limit || n < 1 || n > 24 || r.bits_left > 8) return false;
  const uint8_t* b = r.buffer + pos;
  word = (static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
          static_cast<uint32_t>(b[2]) << 8 | b[3])
         << (8 - r.bits_left);
  return true;
}

// Consumes n (1..24) bits, most significant first.
inline uint32_t get_bits(Reader& r, uint32_t& pos, int n) {
  uint32_t word;
  if (!bits_at_hand(r, pos, n, word)) return get_bits_refilling(r, pos, n);
  const uint32_t consumed = 8 - r.bits_left + static_cast<uint32_t>(n);  // bits of byte pos on
  pos += (consumed - 1) >> 3;
  r.bits_left = consumed & 7 ? 8 - (consumed & 7) : 0;
  // A read that ends on a byte boundary leaves that byte current, used up.
  return word >> (32 - n);
}

// The next n (1..24) bits without consuming them.
inline uint32_t show_bits(Reader& r, uint32_t& pos, int n) {
  uint32_t word;
  if (!bits_at_hand(r, pos, n, word)) return show_bits_refilling(r, pos, n);
  return word >> (32 - n);
}
// Position token for buffer index p (a start code's first byte): the file
// offset of p (elementary stream) or of its packet (program stream) above
// 16 bits telling how far p lies before that packet's end.
uint64_t stream_token(const Reader& r, uint32_t p);
// Returns the stream to a token: the buffer index to continue from, or kReaderFailed.
uint32_t seek_token(Reader& r, uint64_t token);
