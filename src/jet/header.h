// Page 0: the database header, its masked region, and the checks that decide whether we
// can read the file at all.
//
// Format: docs/format.md, pages and the header.
#pragma once

#include <cstdint>
#include <string>

namespace jet {

enum class JetVersion : uint32_t { kJet3 = 0, kJet4 = 1, kAce12 = 2, kAce14 = 3 };

struct DatabaseHeader {
  uint32_t version = 0;       // offset 20
  uint16_t code_page = 0;     // offset 60
  uint32_t encoding_key = 0;  // offset 62; non-zero means every page is RC4-encoded
  std::u16string password;    // offset 66, unmasked; empty when there is none
  uint16_t sort_lcid = 0;     // offset 110
  uint8_t sort_version = 0;   // offset 113
  double creation_date = 0;   // offset 114

  // The "General" sort order of Access 2000 (LCID 1033, version 0); an LCID of 0 means
  // the format's default, which is the same.
  bool UsesGeneralSortOrder() const {
    return (sort_lcid == 1033 || sort_lcid == 0) && sort_version == 0;
  }
};

// Unmasks and decodes page 0, refusing every file this engine cannot read: not a Jet file,
// Jet 3, ACE, RC4-encoded, or protected by a database password. `path` is for messages.
DatabaseHeader ParseHeader(const uint8_t* page0, const std::string& path);

// The 128 bytes at offset 24 are XORed with this keystream (RC4 under the key C7 DA 39 6B).
constexpr uint32_t kHeaderMaskOffset = 24;
constexpr uint32_t kHeaderMaskLength = 128;
const uint8_t* HeaderMask();

}  // namespace jet
