#pragma once

// TMessages: a window's list of message keys and texts (msgPadrao). Every user-visible text of a
// window is looked up here by its key.

#include <map>
#include <string>

namespace host {

class TMessages
{
public:
    explicit TMessages(std::string name = {}) : m_name(std::move(name)) {}

    const std::string &Name() const { return m_name; }

    // Adds a pair, replacing the text of an existing key. Keys are case-sensitive ("P" is not "p").
    void Add(const std::string &key, const std::string &text);
    // The text of the key. An unknown key returns the key itself, so that a missing entry shows as
    // its key on the screen instead of an empty caption.
    std::string Msg(const std::string &key) const;
    bool Contains(const std::string &key) const;
    size_t Count() const { return m_texts.size(); }
    void Clear() { m_texts.clear(); }

private:
    std::string m_name;
    std::map<std::string, std::string> m_texts;
};

} // namespace host
