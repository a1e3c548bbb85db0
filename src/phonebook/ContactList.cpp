#include "phonebook/ContactList.h"

namespace tessa {
namespace {

constexpr int kSuffixLength = 6;

bool suffixMatches(const QString& contactNumber, const QString& key) {
    return contactNumber.size() >= kSuffixLength && contactNumber.right(kSuffixLength) == key;
}

} // namespace

ContactList::ContactList(std::vector<ContactBlock> contacts) : contacts_(std::move(contacts)) {
    for (uint32_t i = 0; i < contacts_.size(); ++i)
        indexContact(i);
}

void ContactList::clear() {
    contacts_.clear();
    bySuffix_.clear();
    lastExact_.clear();
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
        lastExact_.insert(number, position);
        if (number.size() < kSuffixLength)
            continue;
        auto& matches = bySuffix_[number.right(kSuffixLength)];
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

QString ContactList::resolve(const QString& workNumber) const {
    if (workNumber.isEmpty())
        return {};
    if (workNumber.size() > kSuffixLength) {
        const auto found = bySuffix_.constFind(workNumber.right(kSuffixLength));
        if (found == bySuffix_.constEnd())
            return {};
        QString name;
        for (const Match& match : *found) {
            const ContactBlock& contact = contacts_[match.contact];
            if (match.firstNumber)
                name = contact.name.text();
            if (name.isEmpty() && match.otherNumber)
                name = contact.name.text();
        }
        return name;
    }
    const auto found = lastExact_.constFind(workNumber);
    return found == lastExact_.constEnd() ? QString() : contacts_[*found].name.text();
}

} // namespace tessa
