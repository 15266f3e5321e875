// Big-endian reading and writing of the numbers in the program's file formats.
//
// Every number stored in a reel, log, work file or still picture is big-endian,
// whatever the host. Code never casts a struct onto file bytes: it reads and
// writes each field through these helpers.
#pragma once

#include <cstdint>

inline uint16_t be16(const unsigned char *p) {
    return uint16_t((p[0] << 8) | p[1]);
}
inline uint32_t be32(const unsigned char *p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline int32_t be32s(const unsigned char *p) {
    return int32_t(be32(p));
}

inline void put_be16(unsigned char *p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void put_be32(unsigned char *p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// Little-endian forms, for the few foreign formats that use them (Targa).
inline uint16_t le16(const unsigned char *p) {
    return uint16_t(p[0] | (p[1] << 8));
}
inline void put_le16(unsigned char *p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
