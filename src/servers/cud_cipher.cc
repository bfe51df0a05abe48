#include "servers/cud_cipher.h"

#include <openssl/evp.h>

#include <climits>
#include <memory>

namespace {

constexpr int kBlock = 16;

struct CipherContextDeleter {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One pass of the cipher; the output is sized to what the two steps wrote.
bool Run(const CudKey& key, std::string_view in, std::string& out, bool encrypt) {
  // Reserve for the input plus padding; OpenSSL takes int lengths.
  if (in.size() > static_cast<size_t>(INT_MAX - 2 * kBlock)) return false;
  CipherContext context(EVP_CIPHER_CTX_new());
  if (!context) return false;
  if (EVP_CipherInit_ex(context.get(), EVP_aes_128_ecb(), nullptr, key.data(), nullptr, encrypt ? 1 : 0) != 1) {
    return false;
  }
  std::string buffer(in.size() + (encrypt ? 2 * kBlock : kBlock + 1), '\0');
  auto* dst = reinterpret_cast<unsigned char*>(buffer.data());
  int updated = 0;
  if (EVP_CipherUpdate(context.get(), dst, &updated, reinterpret_cast<const unsigned char*>(in.data()),
                       static_cast<int>(in.size())) != 1) {
    return false;
  }
  int finished = 0;
  if (EVP_CipherFinal_ex(context.get(), dst + updated, &finished) != 1) return false;
  buffer.resize(static_cast<size_t>(updated) + static_cast<size_t>(finished));
  out = std::move(buffer);
  return true;
}

}  // namespace

bool ParseCudKey(std::string_view keyText, CudKey& key) {
  if (keyText.size() != 2 * key.size()) return false;
  CudKey parsed{};
  for (size_t i = 0; i < parsed.size(); ++i) {
    const int high = HexDigit(keyText[2 * i]);
    const int low = HexDigit(keyText[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    parsed[i] = static_cast<uint8_t>(high << 4 | low);
  }
  key = parsed;
  return true;
}

bool CudEncrypt(const CudKey& key, std::string_view plain, std::string& cipher) {
  return Run(key, plain, cipher, true);
}

bool CudDecrypt(const CudKey& key, std::string_view cipher, std::string& plain) {
  return Run(key, cipher, plain, false);
}
