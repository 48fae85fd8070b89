// Stream reader: start codes, PES demultiplexing, bits and position tokens.
#include "mpeg/reader.h"

#include <cstring>

namespace {

const uint32_t kMoveUnit = 512;  // the buffer moves only in these steps

uint32_t min_u32(uint32_t a, uint32_t b) { return a < b ? a : b; }

// Scans b[i..last] for 00 00 01 X with accept(X); the 00 may lie at `last`,
// so up to three bytes beyond it are read.
template <typename Accept>
bool scan_start_code(const uint8_t* b, uint32_t& i, uint32_t last, Accept accept) {
  while (i <= last) {
    const void* zero = memchr(b + i, 0, last - i + 1);
    if (!zero) return false;
    i = static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - b);
    if (b[i + 1] == 0 && b[i + 2] == 1 && accept(b[i + 3])) return true;
    ++i;
  }
  return false;
}

// Moves the unread data to the front when it pays, then reads what the
// budget and the buffer allow. Keeps four bytes before `pos` so a start code
// just found can be un-read. Returns the bytes read.
uint32_t read_more(Reader& r, uint32_t& pos, uint32_t& budget) {
  if (r.valid > kMoveUnit) {
    uint32_t e = (pos >= 4 ? pos - 4 : 0) & ~(kMoveUnit - 1);
    if (e > 0) {
      memmove(r.buffer, r.buffer + e, r.valid - e);
      pos -= e;
      if (r.limit >= e) r.limit -= e;
      r.valid -= e;
      r.buffer_offset += e;
    }
  } else if (r.valid == 0) {
    pos = 0;
  }
  uint32_t want = min_u32(kReaderBufferSize - r.valid, budget);
  uint32_t got = want ? file_read(r.file, r.buffer + r.valid, want) : 0;
  if (got > want) got = want;
  budget -= got;
  r.valid += got;
  return got;
}

// First payload byte of a PES packet whose header data starts at p
// (the byte after PES_packet_length); never beyond the packet's end.
uint32_t pes_payload_start(const uint8_t* b, uint32_t p, uint32_t end) {
  if (p >= end) return end;
  if (b[p] >= 0x80 && b[p] <= 0xBF) {  // ISO/IEC 13818-1 header, '10' marker
    if (p + 2 >= end) return end;
    p += 3 + b[p + 2];
    return p < end ? p : end;
  }
  while (p < end && b[p] == 0xFF) ++p;  // ISO/IEC 11172-1 stuffing
  if (p >= end) return end;
  if (b[p] >= 0x40 && b[p] <= 0x7F) p += 2;  // STD buffer fields
  if (p >= end) return end;
  switch (b[p] >> 4) {
    case 0x2: p += 5; break;   // PTS
    case 0x3: p += 10; break;  // PTS and DTS
    default: p += 1; break;    // 0x0F
  }
  return p < end ? p : end;
}

// unit_length results besides a length.
const int32_t kUnitTruncated = 0;  // the header is not all in the data yet
const int32_t kNoUnit = -1;        // no pack, system header or packet starts here

// Length of the pack header, system header or PES packet whose start code
// begins at b[i], from what b[0..valid) holds.
int32_t unit_length(const uint8_t* b, uint32_t i, uint32_t valid) {
  if (i + 4 > valid) return kUnitTruncated;
  if (b[i] != 0 || b[i + 1] != 0 || b[i + 2] != 1) return kNoUnit;
  const uint8_t id = b[i + 3];
  if (id == 0xB9) return 4;  // program end
  if (id == PACK_START_CODE) {
    if (i + 5 > valid) return kUnitTruncated;
    if ((b[i + 4] & 0xF0) == 0x20) return 12;  // ISO/IEC 11172-1
    if ((b[i + 4] & 0xC0) != 0x40) return kNoUnit;
    if (i + 14 > valid) return kUnitTruncated;
    return 14 + (b[i + 13] & 7);  // ISO/IEC 13818-1, with its stuffing
  }
  if (id < 0xBB) return kNoUnit;  // a video start code
  if (i + 6 > valid) return kUnitTruncated;
  return 6 + (static_cast<int32_t>(b[i + 4]) << 8 | b[i + 5]);
}

// Scans b[i..last] for a pack or packet start whose successor, when it lies
// in the data, starts a pack or packet too: a lone 00 00 01 Cx inside a
// payload is seldom followed by another start code at its announced end.
bool find_footing(const uint8_t* b, uint32_t& i, uint32_t last, uint32_t valid) {
  for (;;) {
    if (!scan_start_code(b, i, last, [](uint8_t x) { return x >= 0xB9; })) return false;
    const int32_t length = unit_length(b, i, valid);
    if (length > 0) {
      const uint32_t next = i + static_cast<uint32_t>(length);
      if (next + 4 > valid || unit_length(b, next, valid) != kNoUnit) return true;
    } else if (length == kUnitTruncated) {
      return true;
    }
    ++i;
  }
}

}  // namespace

void reader_init(Reader& r, FileHandle file) {
  r.file = file;
  r.valid = 0;
  r.limit = 0;
  r.buffer_offset = 0;
  r.packet_offset = 0;
  r.payload_length = 0;
  r.carried_from = kNoFooting;
  r.bits_left = 0;
  r.program_stream = false;
  r.stream_id = 0;
  r.next_packet = 0;
  r.data_ended = false;
  r.known_size = -1;
}

int64_t reader_seek(Reader& r, int64_t offset, FileSeekMethod method) {
  r.valid = 0;
  r.limit = 0;
  r.data_ended = false;
  r.carried_from = kNoFooting;
  int64_t position = file_seek(r.file, offset, method);
  if (position < 0) return -1;
  r.buffer_offset = static_cast<uint64_t>(position);
  // A pack or packet is expected here; when none is, the reader scans.
  r.next_packet = r.buffer_offset;
  return position;
}

uint32_t reader_budget(const Reader& r, uint32_t n) {
  uint64_t read = r.buffer_offset + r.valid;
  if (r.known_size >= 0 && read + n <= static_cast<uint64_t>(r.known_size)) return n;
  int64_t size = file_size(r.file);
  r.known_size = size;
  if (size < 0) return 0;
  if (static_cast<uint64_t>(size) <= read) return 0;
  uint64_t left = static_cast<uint64_t>(size) - read;
  return left < n ? static_cast<uint32_t>(left) : n;
}

int reader_fill(Reader& r, uint32_t& pos, uint32_t& budget, bool audio) {
  r.data_ended = false;
  if (r.valid == 0) pos = 0;
  else if (pos > r.valid) return 0;  // a failed position: the data has ended

  // The last payload bytes go in front of the next payload, so a start code
  // or a bit field that straddles two packets reads as one.
  uint8_t carry[4] = {0, 0, 0, 0};
  uint32_t unread = 0;
  uint64_t carried_from = kNoFooting;
  if (r.limit >= 4 && r.limit <= r.valid) {
    memcpy(carry, r.buffer + r.limit - 4, 4);
    carried_from = r.packet_offset;
  }
  if (r.limit > pos) unread = min_u32(r.limit - pos, 4);
  r.limit = 0;

  for (;;) {
    bool stalled = false;
    if (pos + kMoveUnit >= r.valid) stalled = read_more(r, pos, budget) == 0;

    if (!r.program_stream) {
      r.limit = r.valid;
      // Only a read that found nothing new ends the data: the read that
      // spends the budget still delivers its bytes, up to the file's last.
      return !stalled && pos < r.valid;
    }

    if (r.next_packet == kNoFooting || r.next_packet < r.buffer_offset) {
      // Lost: scan for a pack or packet that its successor confirms.
      r.next_packet = kNoFooting;
      uint32_t margin = (budget != 0 && r.valid > kReaderBufferSize - 1) ? kMoveUnit : 6;
      uint32_t s = pos;
      if (r.valid >= margin && find_footing(r.buffer, s, r.valid - margin, r.valid)) {
        r.next_packet = r.buffer_offset + s;
        pos = s;
        continue;
      }
      if (budget == 0 || r.valid <= kMoveUnit || stalled) return 0;
      // Keep the tail: a start code may straddle the next read.
      pos = r.valid - margin;
      continue;
    }

    const uint64_t at = r.next_packet - r.buffer_offset;
    if (at > r.valid) {
      // Stepping over a packet whose end is not read yet.
      if (stalled) return 0;
      pos = r.valid;
      continue;
    }
    uint32_t s = static_cast<uint32_t>(at);
    const int32_t length = unit_length(r.buffer, s, r.valid);
    if (length == kUnitTruncated) {
      if (stalled) return 0;
      pos = s;  // read on: its header is not all here
      continue;
    }
    if (length == kNoUnit) {
      r.next_packet = kNoFooting;
      pos = s;
      continue;
    }
    const uint32_t id = r.buffer[s + 3];
    const bool wanted = (id & 0xF0) == 0xE0 || (audio && (id & 0xE0) == 0xC0);
    if (!wanted) {
      // A pack, system header or packet of another stream: step over it.
      r.next_packet += static_cast<uint32_t>(length);
      pos = min_u32(s + static_cast<uint32_t>(length), r.valid);
      continue;
    }

    r.stream_id = id;
    r.packet_offset = r.buffer_offset + s;
    r.limit = s + static_cast<uint32_t>(length);
    pos = s;
    if (r.valid < r.limit) {
      read_more(r, pos, budget);
      if (r.valid < r.limit) {
        r.limit = 0;  // the packet does not fit the buffer or the budget
        return 0;
      }
      s = pos;
    }
    r.next_packet = r.buffer_offset + r.limit;
    uint32_t payload = pes_payload_start(r.buffer, s + 6, r.limit);
    r.payload_length = r.limit - payload;
    if ((id & 0xF0) != 0xE0) {
      r.carried_from = kNoFooting;
      pos = payload;  // audio: its payload, for the caller to look at
      return 1;
    }
    r.carried_from = carried_from;
    memcpy(r.buffer + payload - 4, carry, 4);
    pos = payload - unread;
    return 1;
  }
}

int find_code(const Reader& r, uint32_t& pos, uint32_t last, uint32_t& code, uint32_t mask) {
  if (last >= kReaderBufferSize) return 0;
  uint32_t i = pos;
  uint32_t wanted = code & mask;
  if (!scan_start_code(r.buffer, i, last, [=](uint8_t x) { return (x & mask) == wanted; })) return 0;
  code = r.buffer[i + 3];
  pos = i + 4;
  return 1;
}

namespace {

// reader_fill for a reader in the middle of its data. When no more data
// comes, the last four bytes up to `limit` (the unread rest among them) are
// kept at the front of the buffer with zeros after them and `data_ended`
// set; bytes read later, should the file grow, follow them as in the file.
int refill_keeping_tail(Reader& r, uint32_t& pos, uint32_t& budget) {
  const uint32_t keep = min_u32(r.limit, 4);
  if (pos > r.limit || pos + keep < r.limit) return reader_fill(r, pos, budget, false);
  uint8_t tail[4];
  memcpy(tail, r.buffer + r.limit - keep, keep);
  const uint32_t offset = pos - (r.limit - keep);
  if (reader_fill(r, pos, budget, false)) return 1;
  const uint64_t read_end = r.buffer_offset + r.valid;
  memcpy(r.buffer, tail, keep);
  memset(r.buffer + keep, 0, 8);
  r.valid = r.limit = keep;
  r.buffer_offset = read_end - keep;
  pos = offset;
  r.data_ended = true;
  return 0;
}

}  // namespace

int next_start_code(Reader& r, uint32_t& pos, uint32_t budget, uint32_t& code) {
  const uint32_t wanted = code;
  const uint32_t mask = wanted ? 0xFF : 0;
  for (;;) {
    if (pos == kReaderFailed) return 0;
    if (r.limit >= 4 && pos <= r.limit - 4) {
      uint32_t found = wanted;
      if (find_code(r, pos, r.limit - 4, found, mask)) {
        code = found;
        r.bits_left = 8;
        // A code that ends the data is still a code; reading on fails.
        if (pos >= r.limit) refill_keeping_tail(r, pos, budget);
        return 1;
      }
      pos = r.limit - 4;
    }
    if (!reader_fill(r, pos, budget, false)) return 0;
  }
}

namespace {

uint32_t fail_read(uint32_t& pos) {
  pos = kReaderFailed;
  return 0xFFFFFFFF;
}

// get_bits, also telling how many bytes `pos` moved on (for show_bits). A
// look-ahead may read the zeros after the end of the data; a read may not.
uint32_t read_bits(Reader& r, uint32_t& pos, int n, uint32_t& advanced, bool look_ahead) {
  advanced = 0;
  if (pos >= kReaderBufferSize || n < 1 || n > 24) return fail_read(pos);
  if (r.data_ended && pos >= r.limit && r.bits_left && !look_ahead) return fail_read(pos);
  uint32_t left = r.bits_left > 8 ? 8 : r.bits_left;
  uint32_t need = static_cast<uint32_t>(n);
  uint32_t value = 0;
  if (left) {
    uint32_t take = need < left ? need : left;
    value = (r.buffer[pos] & ((1u << left) - 1)) >> (left - take);
    left -= take;
    need -= take;
  }
  if (need) {
    uint32_t bytes = (need + 7) >> 3;
    // A payload shorter than the bytes wanted needs one more packet.
    while (pos + bytes >= r.limit && !r.data_ended) {
      uint32_t budget = reader_budget(r, kRefillBudget);
      if (!refill_keeping_tail(r, pos, budget)) break;
    }
    if (pos + bytes >= r.limit && !(r.data_ended && look_ahead)) return fail_read(pos);
    for (; need >= 8; need -= 8) {
      ++pos;
      ++advanced;
      value = value << 8 | r.buffer[pos];
    }
    if (need) {
      ++pos;
      ++advanced;
      value = value << need | r.buffer[pos] >> (8 - need);
      left = 8 - need;
    } else {
      left = 0;
    }
  }
  r.bits_left = left;
  return value;
}

}  // namespace

uint32_t get_bits_refilling(Reader& r, uint32_t& pos, int n) {
  uint32_t advanced;
  return read_bits(r, pos, n, advanced, false);
}

uint32_t show_bits_refilling(Reader& r, uint32_t& pos, int n) {
  uint32_t bits_left = r.bits_left;
  uint32_t advanced;
  uint32_t value = read_bits(r, pos, n, advanced, true);
  if (pos == kReaderFailed) return value;
  pos -= advanced;
  r.bits_left = bits_left;
  return value;
}

uint64_t stream_token(const Reader& r, uint32_t p) {
  if (!r.program_stream) return (r.buffer_offset + p) << 16;
  const uint32_t back = r.limit - p;
  // A start code that begins in the carried tail of the packet before is
  // found again from that packet, whose end then carries it as it did here.
  if (back > r.payload_length && r.carried_from != kNoFooting)
    return r.carried_from << 16 | ((back - r.payload_length) & 0xFFFF);
  return r.packet_offset << 16 | (back & 0xFFFF);
}

uint32_t seek_token(Reader& r, uint64_t token) {
  if (reader_seek(r, static_cast<int64_t>(token >> 16), FILE_SEEK_BEGIN) < 0) return kReaderFailed;
  uint32_t pos = 0;
  uint32_t budget = reader_budget(r, kRefillBudget);
  if (!reader_fill(r, pos, budget, false)) return kReaderFailed;
  if (!r.program_stream) return 0;
  uint32_t back = static_cast<uint32_t>(token & 0xFFFF);
  if (back > r.limit) return kReaderFailed;
  return r.limit - back;
}
