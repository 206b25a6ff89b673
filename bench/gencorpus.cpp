// Writes a deterministic text corpus of the kind people drop on Adrelio, UTF-8 without a
// mark. The same seed, shape and size always give the same bytes. The shapes:
//   mail       mail headers with quoted display names, address lists, French prose with
//              accents, tab-separated and comma-separated exports, logs and quoted
//              replies; about 60 bytes a line, LF line ends (the default)
//   sparse     French prose with one line holding an address every 20 lines
//   dense      address lists and comma-separated exports, several addresses a line
//   long-lines the lines of mail joined into lines of 10 to 100 kB
//   non-ascii  prose and names in Cyrillic, Greek, Chinese, Japanese and accented Latin,
//              addresses with accented local parts and internationalised domains
//   crlf       mail with CR LF line ends
//
// Usage: gencorpus [--seed N] [--shape SHAPE] SIZE > FILE
// SIZE is a byte count with an optional suffix k, M or G (powers of 1000). Output stops at
// the end of the first line that reaches SIZE.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// splitmix64: the same sequence on every platform and compiler, unlike <random>'s
// distributions.
class Random
{
public:
    explicit Random(uint64_t seed) : m_state(seed) { }

    uint64_t next()
    {
        uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    unsigned below(unsigned n) { return unsigned((next() >> 32) % n); }
    bool chance(unsigned percent) { return below(100) < percent; }

    template<typename T, size_t N>
    const T &pick(const std::array<T, N> &items) { return items[below(N)]; }

private:
    uint64_t m_state;
};

using Words = std::string_view;

constexpr std::array<Words, 48> firstNames = {
    "Jean", "Marie", "Élodie", "François", "Hélène", "Jérôme", "Céline", "Loïc",
    "Zoé", "Noël", "Gaëlle", "Anaïs", "Benoît", "Clément", "Aurélie", "Thérèse",
    "Amélie", "René", "Pierre", "Sophie", "Luc", "Nathalie", "Stéphane", "Frédéric",
    "Agnès", "Cécile", "Léa", "Hugo", "Maël", "Inès", "Chloé", "Raphaël",
    "Emma", "Louis", "Camille", "Nicolas", "Julie", "Thomas", "Manon", "Antoine",
    "Éric", "Valérie", "Michel", "Isabelle", "Sébastien", "Françoise", "Yannick", "Océane",
};

constexpr std::array<Words, 64> lastNames = {
    "Dupont", "Martin", "Bernard", "Dubois", "Thomas", "Robert", "Richard", "Petit",
    "Durand", "Leroy", "Moreau", "Simon", "Laurent", "Lefèvre", "Michel", "Garcia",
    "David", "Bertrand", "Roux", "Vincent", "Fournier", "Morel", "Girard", "André",
    "Mercier", "Dupré", "Lambert", "Bonnet", "François", "Legrand", "Garnier", "Faure",
    "Rousseau", "Blanc", "Guérin", "Muller", "Henry", "Roussel", "Perrin", "Morin",
    "Mathieu", "Clément", "Gauthier", "Dumont", "Fontaine", "Chevalier", "Robin", "Masson",
    "Gérard", "Nguyen", "Boyer", "Lemaire", "Duval", "Joly", "Roche", "Noël",
    "Meunier", "Pérez", "Marchand", "Le Gall", "Rivière", "Ménard", "Prévost", "Carré",
};

constexpr std::array<Words, 24> domains = {
    "exemple.fr", "exemple.com", "societe.fr", "mairie-lyon.fr", "orange.fr", "free.fr",
    "laposte.net", "gmail.com", "wanadoo.fr", "sfr.fr", "univ-paris.fr", "cnrs.fr",
    "entreprise.eu", "asso-velo.org", "cabinet-avocats.fr", "hopital-nantes.fr",
    "yahoo.fr", "hotmail.fr", "outlook.com", "ac-grenoble.fr", "banque-populaire.fr",
    "transports.example.org", "editions-du-sud.fr", "mail.exemple.be",
};

constexpr std::array<Words, 12> roles = {
    "contact", "info", "support", "commercial", "direction", "compta",
    "rh", "accueil", "secretariat", "noreply", "service.client", "presse",
};

constexpr std::array<Words, 96> words = {
    "le", "la", "les", "des", "une", "un", "et", "à", "de", "du", "pour", "avec",
    "dans", "sur", "par", "après", "avant", "très", "déjà", "où", "nous", "vous", "il",
    "elle", "réunion", "comité", "équipe", "dossier", "rapport", "réponse", "demande",
    "été", "année", "début", "fin", "semaine", "prochaine", "dernière", "première",
    "merci", "bientôt", "cordialement", "envoyé", "reçu", "vérifié", "complété",
    "préparé", "modifié", "fichier", "pièce", "jointe", "adresse", "numéro", "téléphone",
    "société", "client", "fournisseur", "facture", "échéance", "règlement", "commande",
    "livraison", "entrepôt", "qualité", "sécurité", "procédure", "formation", "congés",
    "mois", "jour", "matin", "après-midi", "soirée", "hôtel", "gare", "aéroport",
    "Paris", "Lyon", "Marseille", "Lille", "Nantes", "Genève", "Québec", "Orléans",
    "ça", "là", "être", "mètre", "forêt", "île", "crème", "noël", "cœur", "sœur", "œuvre",
    "naïve",
};

constexpr std::array<Words, 16> subjects = {
    "Réunion du comité", "Compte rendu de la séance", "Facture n° 2023-118",
    "Relance : règlement en attente", "Invitation à la fête de l'été", "Ordre du jour",
    "Mise à jour des coordonnées", "Congés d'été", "Proposition commerciale",
    "Demande de devis", "Annulation de la réservation", "Résultats trimestriels",
    "Nouvelle procédure de sécurité", "Bienvenue dans l'équipe", "Re: Livraison",
    "Fwd: Pièces jointes",
};

constexpr std::array<Words, 20> cities = {
    "Paris", "Lyon", "Marseille", "Toulouse", "Nice", "Nantes", "Strasbourg",
    "Montpellier", "Bordeaux", "Lille", "Rennes", "Reims", "Saint-Étienne", "Le Havre",
    "Grenoble", "Dijon", "Angers", "Nîmes", "Besançon", "Orléans",
};

constexpr std::array<Words, 7> days = { "lun.", "mar.", "mer.", "jeu.", "ven.", "sam.", "dim." };
constexpr std::array<Words, 12> months = {
    "janv.", "févr.", "mars", "avr.", "mai", "juin",
    "juil.", "août", "sept.", "oct.", "nov.", "déc.",
};

constexpr std::array<Words, 40> foreignWords = {
    "письмо", "встреча", "адрес", "спасибо", "пожалуйста", "завтра", "отчёт", "компания",
    "συνάντηση", "ευχαριστώ", "διεύθυνση", "αύριο", "εταιρεία", "έκθεση", "μήνυμα", "φίλε",
    "会議", "住所", "ありがとう", "明日", "報告書", "会社", "メール", "連絡先",
    "会议", "地址", "谢谢", "明天", "报告", "公司", "邮件", "联系人",
    "réunion", "équipe", "déjà", "hôtel", "cœur", "naïve", "Ørsted", "Straße",
};

constexpr std::array<Words, 16> foreignNames = {
    "Иван Петров", "Ольга Смирнова", "Дмитрий Козлов", "Анна Волкова",
    "Γιώργος Παπαδόπουλος", "Ελένη Νικολάου", "田中 太郎", "佐藤 花子",
    "王伟", "李娜", "Zoë Lefèvre", "Ségolène Dupré", "Jürgen Müller", "Björn Ångström",
    "Łukasz Wójcik", "Çağla Öztürk",
};

constexpr std::array<Words, 12> foreignLocalParts = {
    "élodie.dupré", "jürgen.müller", "björn", "zoë", "иван.петров", "ольга",
    "γιώργος", "田中", "李娜", "françois", "łukasz", "çağla",
};

constexpr std::array<Words, 12> foreignDomains = {
    "exemple.fr", "münchen.de", "пример.рф", "почта.рф", "例え.jp", "例子.中国",
    "παράδειγμα.ελ", "société-générale.fr", "bücher.ch", "gmail.com", "orange.fr",
    "ñandú.es",
};

// Lower-case ASCII form of a name for the local part of an address: accents dropped,
// blanks and apostrophes removed.
std::string asciiLower(Words name)
{
    static constexpr std::array<std::pair<Words, char>, 20> folds = { {
        { "é", 'e' }, { "è", 'e' }, { "ê", 'e' }, { "ë", 'e' }, { "É", 'e' },
        { "à", 'a' }, { "â", 'a' }, { "ä", 'a' }, { "î", 'i' }, { "ï", 'i' },
        { "ô", 'o' }, { "ö", 'o' }, { "ù", 'u' }, { "û", 'u' }, { "ü", 'u' },
        { "ç", 'c' }, { "Ç", 'c' }, { "œ", 'o' }, { "È", 'e' }, { "À", 'a' },
    } };
    std::string out;
    for (size_t i = 0; i < name.size();) {
        bool folded = false;
        for (const auto &[from, to] : folds) {
            if (name.substr(i, from.size()) == from) {
                out += to;
                i += from.size();
                folded = true;
                break;
            }
        }
        if (folded)
            continue;
        const char c = name[i++];
        if (c >= 'A' && c <= 'Z')
            out += char(c - 'A' + 'a');
        else if (c != ' ' && c != '\'')
            out += c;
    }
    return out;
}

enum class Shape { Mail, Sparse, Dense, LongLines, NonAscii, CrLf };

class Corpus
{
public:
    Corpus(uint64_t seed, Shape shape) : m_random(seed), m_shape(shape) { }

    const char *lineEnd() const { return m_shape == Shape::CrLf ? "\r\n" : "\n"; }

    // Appends one line, without its line end.
    void line(std::string &out)
    {
        switch (m_shape) {
        case Shape::Mail:
        case Shape::CrLf:
            mailLine(out);
            break;
        case Shape::Sparse:
            sparseLine(out);
            break;
        case Shape::Dense:
            denseLine(out);
            break;
        case Shape::LongLines:
            longLine(out);
            break;
        case Shape::NonAscii:
            nonAsciiLine(out);
            break;
        }
    }

private:
    void sparseLine(std::string &out)
    {
        if (m_random.below(20) != 0) {
            if (m_random.chance(8))
                return;
            prose(out);
            return;
        }
        switch (m_random.below(4)) {
        case 0:
            fromHeader(out);
            break;
        case 1:
            mailtoSentence(out);
            break;
        case 2:
            signature(out);
            break;
        default:
            quotedReply(out);
            break;
        }
    }

    void denseLine(std::string &out)
    {
        switch (m_random.below(4)) {
        case 0: {
            out += m_random.chance(50) ? "To: " : "Cc: ";
            const unsigned n = 4 + m_random.below(12);
            for (unsigned i = 0; i < n; ++i) {
                if (i > 0)
                    out += m_random.chance(70) ? ", " : "; ";
                displayed(out);
            }
            break;
        }
        case 1:
            csvRow(out);
            break;
        case 2: {
            const unsigned n = 3 + m_random.below(8);
            for (unsigned i = 0; i < n; ++i) {
                if (i > 0)
                    out += m_random.chance(50) ? ";" : ",";
                address(out, person());
            }
            break;
        }
        default:
            tabRow(out);
            break;
        }
    }

    void longLine(std::string &out)
    {
        const size_t length = 10000 + m_random.below(90000);
        const size_t start = out.size();
        while (out.size() - start < length) {
            const size_t before = out.size();
            mailLine(out);
            if (out.size() > before)
                out += ' ';
        }
    }

    void nonAsciiLine(std::string &out)
    {
        const unsigned kind = m_random.below(100);
        if (kind < 40) {
            out += m_random.pick(foreignWords);
            for (unsigned n = 6 + m_random.below(12); n > 0; --n) {
                out += m_random.chance(10) ? "、" : " ";
                out += m_random.pick(foreignWords);
            }
            out += m_random.chance(50) ? "。" : ".";
        } else if (kind < 60) {
            out += m_random.chance(50) ? "От: " : "De : ";
            out += '"';
            out += m_random.pick(foreignNames);
            out += "\" <";
            foreignAddress(out);
            out += '>';
        } else if (kind < 75) {
            out += "Кому: ";
            for (unsigned n = 1 + m_random.below(4); n > 0; --n) {
                out += m_random.pick(foreignNames);
                out += " <";
                foreignAddress(out);
                out += n > 1 ? ">, " : ">";
            }
        } else if (kind < 85) {
            out += '"';
            out += m_random.pick(foreignNames);
            out += "\",";
            foreignAddress(out);
            out += ",\"";
            out += m_random.pick(foreignWords);
            out += '"';
        } else if (kind < 95) {
            out += "« ";
            out += m_random.pick(foreignWords);
            out += " » ";
            foreignAddress(out);
        }
    }

    void foreignAddress(std::string &out)
    {
        if (m_random.chance(50)) {
            address(out, person());
            return;
        }
        out += m_random.pick(foreignLocalParts);
        if (m_random.chance(30))
            out += std::to_string(m_random.below(100));
        out += '@';
        out += m_random.pick(foreignDomains);
    }

    void mailLine(std::string &out)
    {
        const unsigned kind = m_random.below(100);
        if (kind < 24)
            prose(out);
        else if (kind < 34)
            fromHeader(out);
        else if (kind < 42)
            recipientList(out);
        else if (kind < 47)
            dateOrSubject(out);
        else if (kind < 53)
            mailtoSentence(out);
        else if (kind < 62)
            tabRow(out);
        else if (kind < 70)
            csvRow(out);
        else if (kind < 76)
            quotedReply(out);
        else if (kind < 83)
            logLine(out);
        else if (kind < 88)
            signature(out);
        else if (kind < 94)
            bareAddress(out);
        // else: an empty line
    }

    struct Person
    {
        Words first;
        Words last;
    };

    Person person() { return { m_random.pick(firstNames), m_random.pick(lastNames) }; }

    void address(std::string &out, const Person &p)
    {
        switch (m_random.below(8)) {
        case 0:
            out += asciiLower(p.first).substr(0, 1);
            out += '.';
            out += asciiLower(p.last);
            break;
        case 1:
            out += asciiLower(p.last);
            out += '.';
            out += asciiLower(p.first);
            break;
        case 2:
            out += asciiLower(p.first);
            out += '_';
            out += asciiLower(p.last);
            out += std::to_string(m_random.below(100));
            break;
        case 3:
            out += m_random.pick(roles);
            break;
        case 4:
            out += asciiLower(p.first);
            out += std::to_string(1950 + m_random.below(60));
            break;
        default:
            out += asciiLower(p.first);
            out += '.';
            out += asciiLower(p.last);
            if (m_random.chance(30))
                out += std::to_string(m_random.below(1000));
            break;
        }
        out += '@';
        out += m_random.pick(domains);
    }

    void displayed(std::string &out)
    {
        const Person p = person();
        switch (m_random.below(5)) {
        case 0:
        case 1:
            out += '"';
            out += p.last;
            out += ", ";
            out += p.first;
            out += "\" <";
            address(out, p);
            out += '>';
            break;
        case 2:
            out += p.first;
            out += ' ';
            out += p.last;
            out += " <";
            address(out, p);
            out += '>';
            break;
        case 3:
            out += '<';
            address(out, p);
            out += '>';
            break;
        default:
            address(out, p);
            break;
        }
    }

    void sentence(std::string &out, unsigned minBytes)
    {
        const size_t start = out.size();
        std::string_view first = m_random.pick(words);
        if (first[0] >= 'a' && first[0] <= 'z') {
            out += char(first[0] - 'a' + 'A');
            out += first.substr(1);
        } else {
            out += first;
        }
        while (out.size() - start < minBytes) {
            out += m_random.chance(8) ? ", " : " ";
            out += m_random.pick(words);
        }
        out += m_random.chance(85) ? "." : " ?";
    }

    void prose(std::string &out) { sentence(out, 40 + m_random.below(60)); }

    void fromHeader(std::string &out)
    {
        out += m_random.chance(70) ? "From: " : "De : ";
        displayed(out);
    }

    void recipientList(std::string &out)
    {
        out += m_random.chance(60) ? "To: " : "Cc: ";
        const unsigned n = 1 + m_random.below(3);
        for (unsigned i = 0; i < n; ++i) {
            if (i > 0)
                out += m_random.chance(60) ? ", " : "; ";
            displayed(out);
        }
    }

    void dateOrSubject(std::string &out)
    {
        if (m_random.chance(50)) {
            out += "Date: ";
            out += m_random.pick(days);
            out += ' ';
            out += std::to_string(1 + m_random.below(28));
            out += ' ';
            out += m_random.pick(months);
            out += ' ';
            out += std::to_string(2015 + m_random.below(10));
            out += ' ';
            time(out);
            out += " +0200";
        } else {
            out += "Objet : ";
            out += m_random.pick(subjects);
        }
    }

    void time(std::string &out)
    {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u", m_random.below(24),
                      m_random.below(60), m_random.below(60));
        out += buffer;
    }

    void date(std::string &out)
    {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u", 2015 + m_random.below(10),
                      1 + m_random.below(12), 1 + m_random.below(28));
        out += buffer;
    }

    void mailtoSentence(std::string &out)
    {
        const Person p = person();
        out += m_random.chance(50) ? "Pour toute question, écrivez à " : "Contact : ";
        if (m_random.chance(70))
            out += "mailto:";
        address(out, p);
        out += m_random.chance(50) ? "." : " ou au 01 23 45 67 89.";
    }

    void tabRow(std::string &out)
    {
        const Person p = person();
        out += std::to_string(1000 + m_random.below(90000));
        out += '\t';
        out += p.last;
        out += '\t';
        out += p.first;
        out += '\t';
        address(out, p);
        out += '\t';
        out += m_random.pick(cities);
    }

    void csvRow(std::string &out)
    {
        const Person p = person();
        out += '"';
        out += p.last;
        out += ", ";
        out += p.first;
        out += "\",";
        address(out, p);
        out += ",\"";
        out += m_random.pick(cities);
        out += ", France\",";
        date(out);
    }

    void quotedReply(std::string &out)
    {
        const Person p = person();
        out += "> Le ";
        out += std::to_string(1 + m_random.below(28));
        out += '/';
        out += std::to_string(1 + m_random.below(12));
        out += "/2023 à ";
        out += std::to_string(m_random.below(24));
        out += 'h';
        out += std::to_string(10 + m_random.below(50));
        out += ", ";
        out += p.first;
        out += ' ';
        out += p.last;
        if (m_random.chance(60)) {
            out += " <";
            address(out, p);
            out += '>';
        }
        out += " a écrit :";
    }

    void logLine(std::string &out)
    {
        date(out);
        out += ' ';
        time(out);
        out += m_random.chance(80) ? " INFO smtp: remis à <" : " WARN smtp: rejeté <";
        address(out, person());
        out += "> (250)";
    }

    void signature(std::string &out)
    {
        const Person p = person();
        out += "--\t";
        out += p.first;
        out += ' ';
        out += p.last;
        out += ", ";
        out += m_random.pick(cities);
        out += " (";
        address(out, p);
        out += ')';
    }

    void bareAddress(std::string &out)
    {
        if (m_random.chance(20)) {
            // A quoted field that holds an address and blanks, as some exports write it.
            const Person p = person();
            out += '"';
            address(out, p);
            out += ' ';
            out += p.first;
            out += "\" ";
        }
        address(out, person());
        if (m_random.chance(40))
            out += ';';
    }

    Random m_random;
    Shape m_shape;
};

bool parseShape(const char *text, Shape &shape)
{
    static constexpr std::array<std::pair<std::string_view, Shape>, 6> shapes = { {
        { "mail", Shape::Mail }, { "sparse", Shape::Sparse }, { "dense", Shape::Dense },
        { "long-lines", Shape::LongLines }, { "non-ascii", Shape::NonAscii },
        { "crlf", Shape::CrLf },
    } };
    for (const auto &[name, value] : shapes) {
        if (name == text) {
            shape = value;
            return true;
        }
    }
    return false;
}

bool parseSize(const char *text, uint64_t &size)
{
    char *end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text)
        return false;
    uint64_t scale = 1;
    if (*end == 'k')
        scale = 1000;
    else if (*end == 'M')
        scale = 1000 * 1000;
    else if (*end == 'G')
        scale = 1000 * 1000 * 1000;
    else if (*end != '\0')
        return false;
    if (scale != 1 && end[1] != '\0')
        return false;
    size = value * scale;
    return true;
}

int usage()
{
    std::fputs("Usage : gencorpus [--seed N] [--shape FORME] TAILLE > FICHIER\n"
               "TAILLE en octets, suffixes k, M, G (puissances de 1000).\n"
               "FORME : mail (par défaut), sparse, dense, long-lines, non-ascii, crlf.\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    uint64_t seed = 1;
    Shape shape = Shape::Mail;
    uint64_t size = 0;
    bool haveSize = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            char *end = nullptr;
            seed = std::strtoull(argv[++i], &end, 10);
            if (*end != '\0')
                return usage();
        } else if (std::strcmp(argv[i], "--shape") == 0 && i + 1 < argc) {
            if (!parseShape(argv[++i], shape))
                return usage();
        } else if (!haveSize && parseSize(argv[i], size)) {
            haveSize = true;
        } else {
            return usage();
        }
    }
    if (!haveSize)
        return usage();

    Corpus corpus(seed, shape);
    std::string block;
    block.reserve(1 << 20);
    uint64_t written = 0;
    while (written < size) {
        const size_t start = block.size();
        corpus.line(block);
        block += corpus.lineEnd();
        written += block.size() - start;
        if (block.size() >= (1 << 20) - 512 || written >= size) {
            if (std::fwrite(block.data(), 1, block.size(), stdout) != block.size()) {
                std::perror("gencorpus");
                return 1;
            }
            block.clear();
        }
    }
    if (std::fflush(stdout) != 0) {
        std::perror("gencorpus");
        return 1;
    }
    return 0;
}
