// Rows of text printed in aligned columns.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quarvo::tool {

// The number with that many decimals.
std::string Fixed(double value, int decimals);

class Table {
public:
    void Add(std::vector<std::string> row) { m_rows.push_back(std::move(row)); }
    // Each row on its own line after indent, columns two spaces apart; the last column unpadded.
    void Print(std::ostream& out, const std::string& indent = "") const;

private:
    std::vector<std::vector<std::string>> m_rows;
};

}  // namespace quarvo::tool
