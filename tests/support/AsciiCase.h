// Texts in other letter cases, for the rules that ignore it.
#pragma once

#include <cctype>
#include <string>

inline std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Every other letter in capitals.
inline std::string Mixed(std::string text) {
  for (size_t i = 0; i < text.size(); i += 2)
    text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
  return text;
}
