#pragma once
// Whole-file helpers used by the log, the HTTP client's file bodies and the
// update download. None of them throws; each says whether it worked.
#include "core/str.h"

// Reads the whole existing file into text.
bool LoadFile(const vx::Str& fileName, vx::Str& text);
// Creates the file anew (an existing one is replaced) holding bytes.
bool SaveToFile(const vx::Str& fileName, const vx::Str& bytes);
// Appends bytes, creating the file when missing; an empty string touches nothing.
bool AppendToFile(const vx::Str& fileName, const vx::Str& bytes);
