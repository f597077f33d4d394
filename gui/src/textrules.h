#pragma once

#include <QString>

namespace haldorin {

// Result of the output-path builder: the new path and the folder it lives in
// (the dialog remembers the folder as its preferred start folder).
struct BuiltPath {
    QString path;
    QString folder;
};

// Folder of `file` (as QFileInfo::path gives it), then "/" unless the folder
// already ends in one, then the base name (up to the first "."), the suffix and
// the extension: "D:/data/herd.2017.txt" + "_check_out" + ".txt" gives
// "D:/data/herd_check_out.txt".
BuiltPath buildOutputPath(const QString& file, const QString& suffix, const QString& extension);

// How a setting appears in the run summary: "" -> "none", "no" -> "false",
// "yes" -> "true", anything else unchanged.
QString summaryText(const QString& value);

// One "label value" line of the run summary.
QString summaryLine(const QString& label, const QString& value);

// The rule that frames the run summary.
QString summaryRule();

// Outcome of checking the six fixed-column entries.
enum class ColumnCheck { Ok, BadStart, BadLength, BadLayout };

// Starts and lengths as typed, in the order animal, sire, dam.
ColumnCheck checkFixedColumns(const QString (&starts)[3], const QString (&lengths)[3]);

// True when both names refer to the same file: the canonical paths when both
// exist, otherwise the cleaned absolute paths.
bool sameFile(const QString& a, const QString& b);

// Program file of a module in the platform's naming: "Quorel.exe" on Windows,
// "Quorel" elsewhere.
QString moduleFileName(const QString& module);

// A check box state as the dialogs keep their switches: "yes" or "no".
QString yesNo(int state);

} // namespace haldorin
