// Hand-made program streams for the audio delay tests: packs with one
// MPEG-2 packet each, audio payloads between video, their offsets noted.
#pragma once

#include <cstdint>
#include <vector>

// Packs of 14 bytes, each holding one MPEG-2 packet; video between audio.
struct Stream {
  std::vector<uint8_t> bytes;
  std::vector<uint64_t> payloads;  // offsets of the audio payloads
  uint32_t seed = 1;

  uint8_t Noise() {
    seed = seed * 1103515245u + 12345u;
    return uint8_t((seed >> 16) % 255 + 1);  // never zero: no false start codes
  }
  void Pack(uint8_t streamId, int headerData, int payloadLength, int packetLength) {
    const uint8_t pack[14] = {0, 0, 1, 0xBA, 0x44, 0x10, 0x04, 0x20, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8};
    bytes.insert(bytes.end(), pack, pack + 14);
    const uint8_t packet[6] = {0, 0, 1, streamId, uint8_t(packetLength >> 8), uint8_t(packetLength)};
    bytes.insert(bytes.end(), packet, packet + 6);
    bytes.push_back(0x81);
    bytes.push_back(0x80);
    bytes.push_back(uint8_t(headerData));
    for (int i = 0; i < headerData; ++i) bytes.push_back(0xFF);
    if (streamId >= 0xC0 && streamId <= 0xDF && payloadLength > 0) payloads.push_back(bytes.size());
    for (int i = 0; i < payloadLength; ++i) bytes.push_back(Noise());
  }
  void Audio(int payloadLength, int headerData = 5) {
    Pack(0xC0, headerData, payloadLength, payloadLength + headerData + 3);
  }
  void Video(int payloadLength) { Pack(0xE0, 5, payloadLength, payloadLength + 8); }
};

inline Stream MakeStream(int packets, int payloadLength) {
  Stream s;
  for (int i = 0; i < packets; ++i) {
    s.Video(300 + (i * 977) % 5000);
    s.Audio(payloadLength, i % 3 == 0 ? 255 : 5);  // long headers cross chunk ends too
    if (i == 10) s.Pack(0xC0, 5, 0, 4);          // a packet shorter than its header
  }
  return s;
}
