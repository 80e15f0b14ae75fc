#include "support/corpus.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace orvik::testing {

std::filesystem::path CorpusDir() {
  if (const char* dir = std::getenv("ORVIK_CORPUS_DIR"); dir != nullptr && *dir != '\0') {
    return dir;
  }
  return ORVIK_DEFAULT_CORPUS_DIR;
}

std::vector<std::filesystem::path> CorpusFiles(const std::string& extension) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusDir(), error)) {
    if (entry.path().extension() == extension) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadBinaryFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> CaptureLines(const std::filesystem::path& capture) {
  std::vector<std::string> lines;
  std::istringstream in(ReadBinaryFile(capture));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> MotorolaMessages(const std::filesystem::path& capture) {
  const std::string bytes = ReadBinaryFile(capture);
  std::vector<std::string> messages;
  std::size_t start = 0;
  for (std::size_t i = 2; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == '@' && bytes[i + 1] == '@' && bytes[i - 2] == '\r' && bytes[i - 1] == '\n') {
      messages.push_back(bytes.substr(start, i - start));
      start = i;
    }
  }
  if (start < bytes.size()) messages.push_back(bytes.substr(start));
  return messages;
}

std::vector<ExpectedTimeMessage> ReadExpected(const std::filesystem::path& capture) {
  std::vector<ExpectedTimeMessage> rows;
  std::ifstream in(capture.string() + ".expected.tsv");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    ExpectedTimeMessage row;
    std::string checksum_ok;
    std::getline(fields, row.kind, '\t');
    std::getline(fields, row.date, '\t');
    std::getline(fields, row.time, '\t');
    std::getline(fields, row.status, '\t');
    std::getline(fields, checksum_ok, '\t');
    std::getline(fields, row.talker, '\t');
    row.checksum_ok = checksum_ok == "1";
    rows.push_back(row);
  }
  return rows;
}

std::string CaptureStream(const std::vector<std::string>& lines, bool glued) {
  std::string stream;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    stream += glued ? (i % 2 == 1 ? "$" : "") + lines[i] : lines[i] + "\r\n";
  }
  return glued ? stream + "\r\n" : stream;
}

std::vector<std::string> SentencesOf(const std::vector<std::string>& lines) {
  std::vector<std::string> sentences;
  for (const std::string& line : lines) sentences.push_back(line.substr(1) + "\r\n");
  return sentences;
}

}  // namespace orvik::testing
