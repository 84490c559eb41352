// The second process of the files-in-use tests: holds a database the way another program
// would while a test runs a command on it.
//
//   hold_database FILE                     opens FILE for writing, as our programs do
//   hold_database --as-jet FILE COMPUTER USER
//                                          stands in for Access/Jet: writes FILE's lock file
//                                          with one entry for COMPUTER and USER and keeps it
//                                          open (and, on POSIX, byte-range locked, as Jet on a
//                                          share served from there locks it)
//
// Prints "holding" once it holds the file, then waits until its input ends; exit status 0, or
// 1 (with the reason on the error stream) when it could not take the file.
#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/file_lock.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Jet's lock-file entry: the computer's name and the user's, 32 bytes each, NUL-padded.
std::string LockEntry(const std::string& computer, const std::string& user) {
  std::string entry(64, '\0');
  entry.replace(0, std::min<size_t>(computer.size(), 31), computer.substr(0, 31));
  entry.replace(32, std::min<size_t>(user.size(), 31), user.substr(0, 31));
  return entry;
}

bool LockLikeJet(const std::string& lock_file) {
#ifdef _WIN32
  (void)lock_file;  // holding it open is what Windows sees
  return true;
#else
  const int fd = open(lock_file.c_str(), O_RDWR);  // stays open until the process ends
  struct flock range {};
  range.l_type = F_WRLCK;
  range.l_whence = SEEK_SET;
  range.l_start = 0x10000000;
  range.l_len = 1;
  return fd >= 0 && fcntl(fd, F_SETLK, &range) == 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  std::unique_ptr<jet::Database> writer;
  std::fstream lock_file;
  try {
    if (first == "--as-jet" && argc == 5) {
      const std::string path = jet::JetLockFilePath(argv[2]);
      std::ofstream(path, std::ios::binary) << LockEntry(argv[3], argv[4]);
      lock_file.open(path, std::ios::in | std::ios::out | std::ios::binary);
      if (!lock_file || !LockLikeJet(path)) {
        std::cerr << "hold_database: cannot hold " << path << "\n";
        return 1;
      }
    } else if (argc == 2 && !first.starts_with("--")) {
      writer = jet::Database::Open(first, jet::OpenMode::kReadWrite);
    } else {
      std::cerr << "usage: hold_database FILE | hold_database --as-jet FILE COMPUTER USER\n";
      return 2;
    }
  } catch (const jet::Error& error) {
    std::cerr << "hold_database: " << error.description() << "\n";
    return 1;
  }
  std::cout << "holding" << std::endl;
  for (std::string line; std::getline(std::cin, line);) {
  }
  return 0;
}
