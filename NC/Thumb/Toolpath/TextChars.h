#pragma once
// Byte tests the evaluator's readers share: statements are read without
// regard to case, and spaces and tabs separate their words.
inline char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline void SkipSpaces(const char*& at, const char* end) {
  while (at < end && (*at == ' ' || *at == '\t')) ++at;
}
