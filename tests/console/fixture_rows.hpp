// Tables of cases kept as data, one case a row of blank-separated tokens. A token in double quotes
// may hold blanks and the escapes \n \r \t \0 \\ \" \xHH, and \{N} repeats the character before
// it to N in all (for inputs of megabytes); after a lone ! the rest of the row is one token.
// Lines starting with # are comments.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <string_view>
#include <vector>

struct FixtureRow {
  std::string where;                // file:line, for messages
  std::vector<std::string> tokens;  // as written, quotes included
};

// The text a token stands for.
inline std::string token_text(std::string_view token) {
  if (token.empty() || token[0] != '"') return std::string(token);
  std::string out;
  for (std::size_t i = 1; i + 1 < token.size(); ++i) {
    if (token[i] != '\\') {
      out += token[i];
    } else if (token[++i] == 'x') {
      out += static_cast<char>(std::stoi(std::string(token.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else if (token[i] == '{') {
      std::size_t end = token.find('}', i);
      out.append(std::stoul(std::string(token.substr(i + 1, end - i - 1))) - 1, out.back());
      i = end;
    } else {
      std::size_t k = std::string_view("nrt0").find(token[i]);
      out += k == std::string_view::npos ? token[i] : "\n\r\t\0"[k];
    }
  }
  return out;
}

inline std::vector<FixtureRow> fixture_rows(const std::string& name) {
  std::ifstream file(std::string(VELMORA_TESTS_DIR) + "/" + name, std::ios::binary);
  if (!file) ADD_FAILURE() << "cannot read " << name;
  std::vector<FixtureRow> rows;
  int number = 0;
  for (std::string line; std::getline(file, line);) {
    FixtureRow row{name + ":" + std::to_string(++number), {}};
    for (std::size_t i = line.find_first_not_of(' '); i < line.size(); i = line.find_first_not_of(' ', i)) {
      std::size_t end = std::min(line.find(' ', i), line.size());
      if (line[i] == '"') {
        for (end = i + 1; end < line.size() && line[end] != '"';) end += line[end] == '\\' ? 2 : 1;
        ++end;
      }
      row.tokens.push_back(line.substr(i, end - i));
      if (row.tokens.back() == "!") {
        row.tokens.push_back(line.substr(std::min(line.size(), end + 1)));
        break;
      }
      i = end;
    }
    if (!row.tokens.empty() && row.tokens[0][0] != '#') rows.push_back(row);
  }
  return rows;
}
