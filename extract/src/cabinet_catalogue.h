#pragma once

// The catalogue of a cabinet file: its entry count and its entry records, read
// through the cabinet reader without writing anything.

#include "common/records.h"

// Files in the cabinet, plus one when it continues a file from a previous
// cabinet of its set. 0 on success with *count set; 3 (and *count = -1) when
// the file is no cabinet, cannot be read, or holds no files.
int cabinetFileCount(const char *path, int *count);

// Fills up to count records with the cabinet's files in order of appearance
// (a file continued from a previous cabinet as "Partial <name>"). *cabInfo =
// set number * 65536 + (1 when the cabinet has as many folders as files).
// 0 when at least one record was filled, else 3.
int cabinetLoadFile(const char *path, int count, ZIPINFOEX *entries, int *cabInfo);
