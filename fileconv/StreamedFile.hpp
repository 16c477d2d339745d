// A document written to its file as it grows: the file is opened by the first text (so an
// input refused before anything was made leaves an existing file as it was), every text is
// checked to be UTF-8, and the target is replaced only when Finish writes the end and commits.
#pragma once

#include "tables/CodePage.hpp"
#include "tables/OutputPolicy.hpp"

#include <string>
#include <string_view>

namespace carvento::fileconv {

class StreamedFile {
public:
    // `head` goes first, when the file is opened.
    explicit StreamedFile(std::string path, std::string head = {})
        : m_path(std::move(path)), m_head(std::move(head))
    {
    }

    bool Write(std::string_view text)
    {
        if (!m_opened) {
            m_opened = true;
            m_ok = m_file.Open(m_path) && m_file.Write(m_head);
        }
        m_ok = m_ok && tables::IsValidUtf8(text) && m_file.Write(text);
        return m_ok;
    }
    // Writes `tail` and replaces the target; false (the target as it was) when anything failed.
    bool Finish(std::string_view tail)
    {
        m_ok = Write(tail) && m_file.Commit();
        if (!m_ok)
            m_file.Abandon();
        return m_ok;
    }
    // Drops what was written; the target stays as it was. Ok tells whether writing had failed.
    void Abandon() { m_file.Abandon(); }
    bool Ok() const { return m_ok; }

private:
    std::string m_path;
    std::string m_head;
    tables::ReplacingFile m_file;
    bool m_opened = false;
    bool m_ok = true;
};

} // namespace carvento::fileconv
