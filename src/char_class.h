// White space as the C library's isspace classifies it in the calling
// thread's locale, looked up in the C library's own table so that a scan
// costs no call per character.
#ifndef QUORLEN_CHAR_CLASS_H
#define QUORLEN_CHAR_CLASS_H

#include <ctype.h>

namespace quorlen {

class space_class {
 public:
#if defined(__GLIBC__)
  space_class() : table_(*__ctype_b_loc()) {}
  bool operator()(char c) const {
    return (table_[static_cast<unsigned char>(c)] & _ISspace) != 0;
  }

 private:
  const unsigned short* table_;
#else
  bool operator()(char c) const {
    return isspace(static_cast<unsigned char>(c)) != 0;
  }
#endif
};

}  // namespace quorlen

#endif
