// TTableError: why a table's last operation failed, as a value. Callers
// decide what to tell from Kind, Errno and Damage; Text is the English
// sentence for logs and the command line, and no caller needs to read it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kadrel {

enum class TTableFault : std::uint8_t {
  None,
  CannotOpen,    // the name could not be resolved, opened or locked (Errno says why, when the system did)
  NoPermission,  // the system refused access: EACCES, EPERM or EROFS
  NotRegular,    // a folder, FIFO, device or socket stands at the name; it was never opened
  InUse,         // another writer holds the table (a running Kadrel, a kadrel-cli write command)
  Busy,          // a change, or a reader taking its copy, held the table past the wait
  Damaged,       // the bytes break the format, or cannot be trusted (Damage says how)
  NoSpace,       // the disk or the quota is full: ENOSPC, EDQUOT, or a short write
  IoError,       // reading, writing or flushing failed for another reason
  Exists,        // a file that was to be created exists already, and was kept
  Refused,       // the call does not fit the table's state (not open, read-only, editing, a limit)
  Moved,         // the name no longer gives the file opened (renamed over, or moved away): nothing was written
};

// For Damaged: which rule of the format the file breaks (see the invariants
// in store/uTableStream.h), or what made its bytes untrustworthy.
enum class TDamage : std::uint8_t {
  None,
  Signature,      // the first four bytes are not a table's
  HeaderSize,     // shorter than the 32-byte header
  DataStart,      // the data start fits no field count of 1..64; Number: the data start
  FieldTable,     // the file ends inside its field table
  Field,          // a field definition is invalid; Number: the field, from 1
  FileLength,     // length is not data start + slots; Number: the length, Count: the slot count
  Counts,         // slot, deleted and appended counts or the free-list head contradict
  Slot,           // a slot's status byte or number is wrong, or it cannot be read; Number: the slot
  FreeList,       // the free list does not visit exactly the deleted slots
  ForeignFields,  // a valid table, but its fields are not those its file must have
  Journal,        // the journal beside the table cannot be used; Name: its file name
  CannotUndo,     // a change a crash interrupted could not be undone
  TooLarge,       // too large to be read; Number: the length
  Replaced,       // the file kept being replaced while it was opened
};

struct TTableError {
  TTableFault Kind = TTableFault::None;
  int Errno = 0;  // the system's error number where it gave one; 0 otherwise
  TDamage Damage = TDamage::None;
  std::int64_t Number = 0;
  std::int64_t Count = 0;
  std::string Name;
  std::uint32_t FileType = 0;  // NotRegular: the type bits (S_IFMT) of what stands at the name
  std::string Text;            // plain English, without the table's name

  bool Failed() const { return Kind != TTableFault::None; }

  static TTableError Of(TTableFault kind, std::string text);
  static TTableError Damaged(TDamage damage, std::string text, std::int64_t number = 0, std::int64_t count = 0);
  // A failure the system reported: "<what>: <the system's text for errnum>".
  // A refused access or a full disk is told by its errno; any other error is
  // `otherwise`.
  static TTableError System(int errnum, TTableFault otherwise, std::string_view what);
};

}  // namespace kadrel
