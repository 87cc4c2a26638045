#include "platform/FileReplacement.h"

#include <cstdio>
#include <utility>

namespace corvane {

FileReplacement::FileReplacement(std::string path)
    : path_(std::move(path)),
      temporary_(path_ + ".part"),
      out_(temporary_, std::ios::binary | std::ios::trunc),
      opened_(static_cast<bool>(out_)) {}

FileReplacement::~FileReplacement() {
    if (!finished_) discard();
}

bool FileReplacement::commit() {
    if (!opened_ || finished_) return false;
    finished_ = true;
    out_.close();
    if (out_.fail() || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        std::remove(temporary_.c_str());
        return false;
    }
    return true;
}

void FileReplacement::discard() {
    if (!opened_) return;  // nothing of ours to take away
    out_.close();
    std::remove(temporary_.c_str());
}

}  // namespace corvane
