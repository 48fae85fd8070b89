// Builds small MPEG byte streams by hand for the reader and header tests,
// and writes them to files the decoder can open.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mpeg/reader.h"

typedef std::vector<uint8_t> Bytes;

// Appends fields most significant bit first.
struct BitWriter {
  Bytes bytes;
  int used = 8;  // bits used in the last byte
  void put(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      if (used == 8) {
        bytes.push_back(0);
        used = 0;
      }
      if ((value >> i) & 1) bytes.back() |= static_cast<uint8_t>(0x80 >> used);
      ++used;
    }
  }
  // Zero bits up to the next byte, then a start code.
  void start_code(uint8_t code) {
    used = 8;
    for (uint8_t b : {0, 0, 1, static_cast<int>(code)}) bytes.push_back(b);
  }
};

// (push_back rather than insert: GCC 12 warns falsely about vector::insert.)
inline void append(Bytes& to, const Bytes& from) {
  for (uint8_t b : from) to.push_back(b);
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) append(all, p);
  return all;
}

// An ISO/IEC 13818-1 pack header (SCR 0, mux rate 1).
inline Bytes pack_header() {
  return {0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 0, 0, 3, 0xF8};
}

// A PES packet with an ISO/IEC 13818-1 header carrying `header_data` bytes
// of header data (0xFF stuffing) before the payload.
inline Bytes pes(uint8_t stream_id, const Bytes& payload, uint8_t header_data = 0) {
  uint32_t length = 3 + header_data + static_cast<uint32_t>(payload.size());
  Bytes b = {0, 0, 1, stream_id, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length),
             0x80, 0x00, header_data};
  append(b, Bytes(header_data, 0xFF));
  append(b, payload);
  return b;
}

// A PES packet with an ISO/IEC 11172-1 header: stuffing, STD buffer fields
// and a PTS.
inline Bytes pes_mpeg1(uint8_t stream_id, const Bytes& payload) {
  Bytes header = {0xFF, 0xFF, 0x60, 0x00, 0x21, 0x00, 0x01, 0x00, 0x01};
  uint32_t length = static_cast<uint32_t>(header.size() + payload.size());
  Bytes b = {0, 0, 1, stream_id, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
  append(b, header);
  append(b, payload);
  return b;
}

// Writes `bytes` to NAME in the working folder and returns the path.
inline std::string write_file(const std::string& name, const Bytes& bytes) {
  FILE* f = fopen(name.c_str(), "wb");
  if (f) {
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  return name;
}

// A reader on a file, as a session sets it up.
struct OpenReader {
  Reader r;
  uint32_t pos = 0;
  explicit OpenReader(const std::string& path, bool program_stream) {
    reader_init(r, file_open_shared_read(path.c_str()));
    r.program_stream = program_stream;
    reader_seek(r, 0, FILE_SEEK_BEGIN);
  }
  ~OpenReader() { file_close(r.file); }
  // The next start code's value, or -1 when the search fails.
  int next() {
    uint32_t code = 0;
    if (!next_start_code(r, pos, reader_budget(r, kSearchBudget), code)) return -1;
    return static_cast<int>(code);
  }
  // Every start code to the end of the data.
  std::vector<int> all() {
    std::vector<int> codes;
    for (int c; (c = next()) >= 0;) codes.push_back(c);
    return codes;
  }
};

// An elementary stream followed by enough filler that the reader's first
// read leaves budget over (a short one reports nothing; see reader_test).
inline std::string write_elementary(const std::string& name, const Bytes& es) {
  return write_file(name, cat({es, Bytes(100000, 0x55)}));
}

struct SequenceFields {
  uint32_t horizontal_size = 352, vertical_size = 288, frame_rate_code = 3, bit_rate_value = 10000;
};

// sequence_header() without quantiser matrices.
inline void put_sequence_header(BitWriter& w, const SequenceFields& s) {
  w.start_code(0xB3);
  w.put(s.horizontal_size, 12);
  w.put(s.vertical_size, 12);
  w.put(1, 4);  // aspect_ratio_information
  w.put(s.frame_rate_code, 4);
  w.put(s.bit_rate_value, 18);
  w.put(1, 1);    // marker_bit
  w.put(112, 10); // vbv_buffer_size_value
  w.put(0, 1);    // constrained_parameters_flag
  w.put(0, 1);    // load_intra_quantiser_matrix
  w.put(0, 1);    // load_non_intra_quantiser_matrix
}

inline void put_sequence_extension(BitWriter& w, int progressive_sequence, int chroma_format,
                                   int size_extension = 0, int frame_rate_n = 0, int frame_rate_d = 0) {
  w.start_code(0xB5);
  w.put(1, 4);
  w.put(0x48, 8);  // profile_and_level_indication
  w.put(progressive_sequence, 1);
  w.put(chroma_format, 2);
  w.put(size_extension, 2);  // horizontal_size_extension
  w.put(size_extension, 2);  // vertical_size_extension
  w.put(0, 12);              // bit_rate_extension
  w.put(1, 1);
  w.put(0, 8);  // vbv_buffer_size_extension
  w.put(0, 1);  // low_delay
  w.put(frame_rate_n, 2);
  w.put(frame_rate_d, 5);
}
