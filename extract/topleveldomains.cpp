#include "extract/topleveldomains.h"

#include "base/adrelioerror.h"
#include "base/wordhash.h"

#include <libpsl.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

namespace {

const psl_ctx_t *suffixList()
{
    static const std::unique_ptr<psl_ctx_t, void (*)(psl_ctx_t *)> latest(psl_latest(nullptr), psl_free);
    const psl_ctx_t *list = latest ? latest.get() : psl_builtin();
    if (!list)
        throw AdrelioError(QStringLiteral("La liste des domaines de premier niveau est introuvable"));
    return list;
}

// The list holds international labels in lower case and in NFKC, which libpsl's own
// conversion gives.
bool listed(const std::string &label)
{
    const psl_ctx_t *list = suffixList();
    char *lower = nullptr;
    if (psl_str_to_utf8lower(label.c_str(), "utf-8", nullptr, &lower) != PSL_SUCCESS)
        return false;
    const bool found = psl_is_public_suffix2(list, lower, PSL_TYPE_ANY | PSL_TYPE_NO_STAR_RULE) == 1;
    psl_free_string(lower);
    return found;
}

// The answers one thread was given. A label of up to eight bytes, as nearly every one is,
// is first looked for among the latest ones by its bytes taken as one word.
class Answers
{
public:
    bool exists(QByteArrayView label)
    {
        if (label.size() > qsizetype(sizeof(quint64)))
            return answer(label);
        const quint64 word = wordOfBytes(label.data(), label.size());
        Recent &recent = m_recent[size_t((word * 0x9E3779B97F4A7C15ull) >> 58)];
        if (recent.word != word) {
            recent.word = word;
            recent.exists = answer(label);
        }
        return recent.exists;
    }

private:
    // A label holds no zero byte, so the word of none is 0.
    struct Recent
    {
        quint64 word = 0;
        bool exists = false;
    };

    bool answer(QByteArrayView label)
    {
        std::string key(label.data(), size_t(label.size()));
        const auto known = m_answers.find(key);
        if (known != m_answers.end())
            return known->second;
        const bool exists = listed(key);
        m_answers.emplace(std::move(key), exists);
        return exists;
    }

    std::array<Recent, 64> m_recent;
    std::unordered_map<std::string, bool> m_answers;
};

} // namespace

bool isTopLevelDomain(QByteArrayView utf8Label)
{
    thread_local Answers answers;
    return answers.exists(utf8Label);
}
