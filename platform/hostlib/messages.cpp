#include "platform/hostlib/messages.h"

namespace host {

void TMessages::Add(const std::string &key, const std::string &text)
{
    m_texts[key] = text;
}

std::string TMessages::Msg(const std::string &key) const
{
    const auto it = m_texts.find(key);
    return it == m_texts.end() ? key : it->second;
}

bool TMessages::Contains(const std::string &key) const
{
    return m_texts.count(key) != 0;
}

} // namespace host
