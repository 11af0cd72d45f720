// The library's engine is built without exceptions, so none may cross the
// callbacks it makes: the first is kept, later steps are skipped, and it is
// raised again once the parse is over.
#ifndef QUORLEN_KEPT_FAILURE_H
#define QUORLEN_KEPT_FAILURE_H

#include <exception>

namespace quorlen_tool {

class kept_failure {
 public:
  template <class Step>
  void run(Step step) {
    if (failure_) return;
    try {
      step();
    } catch (...) {
      failure_ = std::current_exception();
    }
  }

  void rethrow() const {
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  std::exception_ptr failure_;
};

}  // namespace quorlen_tool

#endif
