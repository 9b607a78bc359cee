// Answer lines from standard input: only SETUP.EXE's overwrite question
// reads them, so they live apart from the output and the key waits, which
// the status report links too (on x64 an image keeps every function of each
// object file that it links).
#include "console/console.h"

namespace qsetup {
namespace {

constexpr int kEndOfInput = -1;
constexpr char kCtrlZ = 0x1A;

}  // namespace

int Console::ReadRawByte() {
  if (pushed_back_ != -1) {
    const int c = pushed_back_;
    pushed_back_ = -1;
    return c;
  }
  if (in_pos_ == in_len_) {
    in_len_ = io_.ReadIn(in_buffer_.data(), in_buffer_.size());
    in_pos_ = 0;
    if (in_len_ == 0) return kEndOfInput;
  }
  return static_cast<unsigned char>(in_buffer_[in_pos_++]);
}

int Console::ReadInputChar() {
  if (in_ended_) return kEndOfInput;
  int c = ReadRawByte();
  if (c == static_cast<unsigned char>(kCtrlZ)) c = kEndOfInput;
  if (c == '\r') {
    const int next = ReadRawByte();
    if (next == '\n') return '\n';
    pushed_back_ = next == kEndOfInput ? -1 : next;
    if (next == kEndOfInput) in_ended_ = true;
    return '\r';
  }
  if (c == kEndOfInput) in_ended_ = true;
  return c;
}

bool Console::ReadAnswerLine(AnswerLine& line) {
  std::size_t stored = 0;
  bool read_any = false;
  for (;;) {
    const int c = ReadInputChar();
    if (c == kEndOfInput) break;
    read_any = true;
    if (c == '\n') break;
    if (stored < kAnswerLineMax) line[stored++] = static_cast<char>(c);
  }
  if (!read_any) return false;
  line[stored] = '\0';
  return true;
}

}  // namespace qsetup
