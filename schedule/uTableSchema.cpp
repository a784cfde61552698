#include "schedule/uTableSchema.h"

#include <sys/stat.h>

#include <cerrno>
#include <utility>

#include "platform/uGbk.h"

namespace kadrel {

// A crash leaves no torn file, and a file that appeared meanwhile is never
// replaced.
bool CreateSchemaFile(TTableStream& table, const TTableSchema& schema, const std::string& path,
                      TScheduleError& error) {
  auto fail = [&] {
    return error.Fail(TEditFault::CannotOpen, "cannot create: " + TableReason(table, "unknown error"),
                      schema.FileName, table.Error());
  };
  if (!table.CreateTable(path, TTableStream::TCreateMode::KeepExisting)) return fail();
  bool written = true;
  for (const auto& f : schema.Fields) written = written && table.Fields().AddField(f.Name, f.Type, f.Width);
  written = table.Close() && written;
  return written || fail();
}

TTableSchema SchemaOf(TScheduleFile file) { return {ScheduleFileName(file), ScheduleSchema(file)}; }

bool HasSchema(TTableStream& table, const TTableSchema& schema, TScheduleError& error) {
  TFields& fields = table.Fields();
  bool same = fields.Count() == static_cast<int>(schema.Fields.size());
  for (std::size_t i = 0; same && i < schema.Fields.size(); ++i) {
    const TFieldDef def = fields.Field(static_cast<int>(i));
    same = def.Type == schema.Fields[i].Type && def.Width == schema.Fields[i].Width &&
           GbkEqualFoldAZ(def.Name, schema.Fields[i].Name);
  }
  if (same) return true;
  constexpr const char* kForeign = "its fields are not those of this file";
  return error.Fail(TEditFault::CannotOpen, kForeign, schema.FileName,
                    TTableError::Damaged(TDamage::ForeignFields, kForeign));
}

bool OpenSchemaFile(TTableStream& table, const TTableSchema& schema, const std::string& path, std::uint16_t mode,
                    TScheduleError& error) {
  auto cannotOpen = [&](TTableError why) {
    std::string reason = why.Text;
    return error.Fail(TEditFault::CannotOpen, std::move(reason), schema.FileName, std::move(why));
  };
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
    TTableError missing = TTableError::Of(TTableFault::CannotOpen, "no such file");
    missing.Errno = ENOENT;
    return cannotOpen(std::move(missing));
  }
  if (ScheduleFileMissing(path)) {
    return cannotOpen(TTableError::Damaged(
        TDamage::HeaderSize,
        "the file is empty (its creation was interrupted); Kadrel or a write command creates it again"));
  }
  if (!table.SetOpenMode(mode)) return cannotOpen(TTableError::Of(TTableFault::Refused, "the table is already open"));
  if (!table.Open(path)) {
    return error.Fail(TEditFault::CannotOpen, TableReason(table, "cannot open the file"), schema.FileName,
                      table.Error());
  }
  if (HasSchema(table, schema, error)) return error.Succeed();
  // A foreign table stays closed, so that nothing reads or writes it by mistake.
  table.Close();
  return false;
}

bool OpenOrCreateSchemaFile(TTableStream& table, const TTableSchema& schema, const std::string& path,
                            TScheduleError& error) {
  TScheduleError createError;
  // Whatever lies at the name once the creation is over is opened, ours or
  // not: a damaged file is reported, never overwritten.
  const bool missing = ScheduleFileMissing(path);
  if (missing) CreateSchemaFile(table, schema, path, createError);
  if (OpenSchemaFile(table, schema, path, TTableStream::kModeReadWrite, error)) return true;
  if (missing && ScheduleFileMissing(path) && createError.Fault != TEditFault::None) error = createError;
  return false;
}

}  // namespace kadrel
