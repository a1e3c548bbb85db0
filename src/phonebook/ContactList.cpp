#include "phonebook/ContactList.h"

#include <optional>

namespace tessa {
namespace {

constexpr int kSuffixLength = 6;

bool suffixMatches(const QString& contactNumber, const QString& key) {
    return contactNumber.size() >= kSuffixLength && contactNumber.right(kSuffixLength) == key;
}

// At most six units, each below 1024, packed with the length in front; nullopt for anything else.
std::optional<uint64_t> packUnits(QStringView units) {
    if (units.size() > kSuffixLength)
        return std::nullopt;
    uint64_t key = uint64_t(units.size());
    for (QChar c : units) {
        if (c.unicode() >= 1024)
            return std::nullopt;
        key = key << 10 | c.unicode();
    }
    return key;
}

} // namespace

ContactList::ContactList(std::vector<ContactBlock> contacts) : contacts_(std::move(contacts)) {
    for (uint32_t i = 0; i < contacts_.size(); ++i)
        indexContact(i);
}

void ContactList::clear() {
    contacts_.clear();
    suffixPacked_.clear();
    suffixText_.clear();
    exactPacked_.clear();
    exactText_.clear();
}

void ContactList::append(const ContactBlock& contact) {
    contacts_.push_back(contact);
    indexContact(uint32_t(contacts_.size() - 1));
}

void ContactList::indexContact(uint32_t position) {
    const ContactBlock& contact = contacts_[position];
    for (int slot = 0; slot < ContactBlock::kNumberCount; ++slot) {
        const QString number = contact.numbers[slot].text();
        if (number.isEmpty())
            continue;
        if (number.size() <= kSuffixLength) {
            if (const auto key = packUnits(number))
                exactPacked_.insert(*key, position);
            else
                exactText_.insert(number, position);
        }
        if (number.size() < kSuffixLength)
            continue;
        const QStringView suffix = QStringView(number).right(kSuffixLength);
        const auto key = packUnits(suffix);
        auto& matches = key ? suffixPacked_[*key] : suffixText_[suffix.toString()];
        if (matches.empty() || matches.back().contact != position)
            matches.push_back({position, false, false});
        (slot == 0 ? matches.back().firstNumber : matches.back().otherNumber) = true;
    }
}

// More than six characters: the last six are compared with the last six of each contact number. A match
// on number 1 always names the record (so the last such contact wins); numbers 2 to 7 name it only while
// it is still unnamed. Six or fewer: exact comparison of all seven numbers, the last matching contact wins.
// An empty work number (a lone "*" or "#") names nothing: every contact has empty number slots, and
// naming a keypad code after whichever contact came last would be plainly wrong.
QString ContactList::resolveByWalk(const QString& workNumber) const {
    QString name;
    if (workNumber.isEmpty())
        return name;
    if (workNumber.size() > kSuffixLength) {
        const QString key = workNumber.right(kSuffixLength);
        for (const ContactBlock& contact : contacts_) {
            if (suffixMatches(contact.numbers[0].text(), key))
                name = contact.name.text();
            for (int slot = 1; slot < ContactBlock::kNumberCount && name.isEmpty(); ++slot)
                if (suffixMatches(contact.numbers[slot].text(), key)) {
                    name = contact.name.text();
                    break;
                }
        }
        return name;
    }
    for (const ContactBlock& contact : contacts_)
        for (int slot = 0; slot < ContactBlock::kNumberCount; ++slot)
            if (contact.numbers[slot].equals(workNumber)) {
                name = contact.name.text();
                break;
            }
    return name;
}

QString ContactList::resolve(QStringView workNumber) const {
    if (workNumber.isEmpty())
        return {};
    if (workNumber.size() > kSuffixLength) {
        const QStringView suffix = workNumber.right(kSuffixLength);
        const std::vector<Match>* matches = nullptr;
        if (const auto key = packUnits(suffix)) {
            const auto found = suffixPacked_.constFind(*key);
            matches = found == suffixPacked_.constEnd() ? nullptr : &*found;
        } else {
            const auto found = suffixText_.constFind(suffix.toString());
            matches = found == suffixText_.constEnd() ? nullptr : &*found;
        }
        if (!matches)
            return {};
        QString name;
        for (const Match& match : *matches) {
            const ContactBlock& contact = contacts_[match.contact];
            if (match.firstNumber)
                name = contact.name.text();
            if (name.isEmpty() && match.otherNumber)
                name = contact.name.text();
        }
        return name;
    }
    if (const auto key = packUnits(workNumber)) {
        const auto found = exactPacked_.constFind(*key);
        return found == exactPacked_.constEnd() ? QString() : contacts_[*found].name.text();
    }
    const auto found = exactText_.constFind(workNumber.toString());
    return found == exactText_.constEnd() ? QString() : contacts_[*found].name.text();
}

} // namespace tessa
