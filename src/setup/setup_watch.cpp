// The tool's way into the handler.  Built into the internal library only:
// the shared object's parse stays the handler alone.
#include <cstdlib>
#include <new>
#include <type_traits>

#include "quorlen_core.h"
#include "setup_internal.h"

namespace quorlen {
namespace {

// The storage is aligned for the state (checked below), which the compiler
// cannot see through the byte array: hence the way through void.
setup_context& context_in(unsigned char* bytes) {
  return *std::launder(static_cast<setup_context*>(static_cast<void*>(bytes)));
}

}  // namespace

static_assert(sizeof(setup_context) <= 16 * sizeof(void*),
              "setup_watch has no room for the handler's state");
static_assert(alignof(setup_context) <= 8,
              "setup_watch aligns the handler's state too little");
static_assert(std::is_trivially_destructible<setup_context>::value &&
                  std::is_trivially_copyable<setup_context>::value,
              "setup_watch neither copies nor destroys the state itself");

std::uint32_t code_of(const code_row* table, const char* name) {
  return lookup_code(table, name);
}

setup_watch::setup_watch(camera_setup* record) : record_(record) {
  new (context_) setup_context(record);
}

setup_watch::setup_watch(camera_setup* record, entry_sink sink, void* user,
                         bool kept_in_record)
    : record_(record), sink_(sink), user_(user), kept_(kept_in_record) {
  new (context_) setup_context(record);
  if (record != nullptr) entries_before_ = record->entries;
}

int setup_watch::handle(void* user, const char* section, const char* name,
                        const char* value) {
  return static_cast<setup_watch*>(user)->event(section, name, value);
}

int setup_watch::event(const char* section, const char* name,
                       const char* value) {
  const std::uint32_t before = record_ != nullptr ? record_->entry_count : 0;
  const int accepted =
      setup_handler(&context_in(context_), section, name, value);
  if (record_ == nullptr || record_->entry_count == before) return accepted;
  if (sink_ != nullptr) sink_(user_, record_->entries[before]);
  // Taken out again, the entry leaves its place to the next one: the count
  // stays below the room its first element promised, so the array is taken
  // once and never grows.
  if (!kept_) record_->entry_count = before;
  return accepted;
}

bool setup_watch::control_open() const {
  return std::launder(static_cast<const setup_context*>(
                          static_cast<const void*>(context_)))
      ->control_open;
}

void setup_watch::finish() {
  if (kept_ || record_ == nullptr) return;
  if (record_->entries != entries_before_) {
    std::free(record_->entries);
    record_->entries = entries_before_;
  }
}

void release_setup(camera_setup& record) {
  for (std::uint32_t i = 0; i < record.control_count; ++i) {
    std::free(record.controls[i].code);
  }
  std::free(record.controls);
  std::free(record.entries);
  record = camera_setup{};
}

}  // namespace quorlen
