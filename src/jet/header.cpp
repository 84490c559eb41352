#include "jet/header.h"

#include <array>
#include <cmath>
#include <cstring>

#include "jet/bytes.h"
#include "jet/error.h"

namespace jet {
namespace {

// Page 0 offsets (after unmasking).
constexpr size_t kOffEngineName = 4;
constexpr size_t kOffVersion = 20;
constexpr size_t kOffCodePage = 60;
constexpr size_t kOffEncodingKey = 62;
constexpr size_t kOffPassword = 66;
constexpr size_t kPasswordBytes = 40;
constexpr size_t kOffSortOrder = 110;
constexpr size_t kOffCreationDate = 114;

std::array<uint8_t, kHeaderMaskLength> MakeMask() {
  const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
  std::array<uint8_t, 256> s;
  for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + key[i % 4]) & 0xFF;
    std::swap(s[i], s[j]);
  }
  std::array<uint8_t, kHeaderMaskLength> out;
  for (size_t n = 0, i = 0, j = 0; n < out.size(); ++n) {
    i = (i + 1) & 0xFF;
    j = (j + s[i]) & 0xFF;
    std::swap(s[i], s[j]);
    out[n] = s[(s[i] + s[j]) & 0xFF];
  }
  return out;
}

[[noreturn]] void Refuse(int number, const std::string& path, const std::string& why) {
  throw Error(number, "Cannot open '" + path + "': " + why);
}

}  // namespace

const uint8_t* HeaderMask() {
  static const std::array<uint8_t, kHeaderMaskLength> mask = MakeMask();
  return mask.data();
}

DatabaseHeader ParseHeader(const uint8_t* raw, const std::string& path) {
  static const char kJetName[] = "Standard Jet DB";
  static const char kAceName[] = "Standard ACE DB";
  if (raw[0] != 0x00 || raw[1] != 0x01) {
    Refuse(kErrUnrecognizedFormat, path, "unrecognized database format (not an Access database).");
  }
  if (std::memcmp(raw + kOffEngineName, kAceName, sizeof kAceName) == 0) {
    Refuse(kErrUnrecognizedFormat, path,
           "unrecognized database format: an Access 2007 or later (.accdb) database; only "
           "Access 2000-2003 (.mdb) files can be read.");
  }
  if (std::memcmp(raw + kOffEngineName, kJetName, sizeof kJetName) != 0) {
    Refuse(kErrUnrecognizedFormat, path, "unrecognized database format (not an Access database).");
  }

  uint8_t page[kOffCreationDate + 8];
  std::memcpy(page, raw, sizeof page);
  const uint8_t* mask = HeaderMask();
  for (size_t i = 0; i < kHeaderMaskLength && kHeaderMaskOffset + i < sizeof page; ++i) {
    page[kHeaderMaskOffset + i] ^= mask[i];
  }

  DatabaseHeader h;
  h.version = U32(page + kOffVersion);
  if (h.version == static_cast<uint32_t>(JetVersion::kJet3)) {
    Refuse(kErrUnrecognizedFormat, path,
           "unrecognized database format: an Access 97 (Jet 3) database; only Access 2000-2003 "
           "(Jet 4) files can be read. Convert it with Access first.");
  }
  if (h.version != static_cast<uint32_t>(JetVersion::kJet4)) {
    Refuse(kErrUnrecognizedFormat, path,
           "unrecognized database format: an Access 2007 or later database (version " +
               std::to_string(h.version) + "); only Access 2000-2003 (Jet 4) files can be read.");
  }
  h.code_page = U16(page + kOffCodePage);
  h.encoding_key = U32(page + kOffEncodingKey);
  h.sort_lcid = U16(page + kOffSortOrder);
  h.sort_version = page[kOffSortOrder + 3];
  std::memcpy(&h.creation_date, page + kOffCreationDate, 8);

  // The password is masked with the whole days of the creation date, repeated.
  uint8_t date_mask[4] = {0, 0, 0, 0};
  if (std::isfinite(h.creation_date) && std::fabs(h.creation_date) < 2e9) {
    PutU32(date_mask, static_cast<uint32_t>(static_cast<int32_t>(h.creation_date)));
  }
  for (size_t i = 0; i + 1 < kPasswordBytes; i += 2) {
    const uint16_t c =
        static_cast<uint16_t>((page[kOffPassword + i] ^ date_mask[i % 4]) |
                              ((page[kOffPassword + i + 1] ^ date_mask[(i + 1) % 4]) << 8));
    if (c == 0) break;
    h.password.push_back(static_cast<char16_t>(c));
  }

  if (h.encoding_key != 0) {
    Refuse(kErrUnsupported, path,
           "the database is encoded (encrypted). Decode it in Access (Tools, Security, "
           "Encode/Decode Database) and try again.");
  }
  if (!h.password.empty()) {
    Refuse(kErrNotValidPassword, path,
           "not a valid password. The database is protected by a database password; remove "
           "the password in Access and try again.");
  }
  return h;
}

}  // namespace jet
