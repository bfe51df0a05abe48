// The cipher of "CUD.dat": AES-128 in ECB mode with PKCS#7 padding, no
// header, no length field, no initialisation vector. The same bytes as
// `openssl enc -aes-128-ecb -K <key hex>` writes and reads.
//
// Pure functions, any thread. Failures are results.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using CudKey = std::array<uint8_t, 16>;

// Exactly 32 hexadecimal digits (either case), first pair first byte.
// Anything else, longer or shorter, is not a key.
bool ParseCudKey(std::string_view keyText, CudKey& key);

bool CudEncrypt(const CudKey& key, std::string_view plain, std::string& cipher);
// Fails on a length that is not a whole number of blocks or bad padding.
bool CudDecrypt(const CudKey& key, std::string_view cipher, std::string& plain);
