#pragma once

// The contact list that names callers, in the order the contact source delivered it, with an index that
// gives exactly the result of walking the list from head to tail for every lookup.

#include "format/ContactBlock.h"

#include <QHash>
#include <QString>
#include <vector>

namespace tessa {

class ContactList {
public:
    ContactList() = default;
    explicit ContactList(std::vector<ContactBlock> contacts);

    void clear();
    void append(const ContactBlock& contact);
    size_t size() const { return contacts_.size(); }
    bool empty() const { return contacts_.empty(); }
    const ContactBlock& at(size_t i) const { return contacts_[i]; }
    const std::vector<ContactBlock>& contacts() const { return contacts_; }

    // The name for a work number, as the head-to-tail walk decides it (see resolveByWalk). Returns
    // an empty string when no contact names the number.
    QString resolve(QStringView workNumber) const;

    // The plain walk over the list, kept as the reference the index is checked against.
    QString resolveByWalk(const QString& workNumber) const;

private:
    struct Match {
        uint32_t contact; // position in contacts_
        bool firstNumber; // number 1 matches
        bool otherNumber; // one of numbers 2 to 7 matches
    };
    void indexContact(uint32_t position);

    std::vector<ContactBlock> contacts_;
    // Numbers are keyed by their units packed into 64 bits when each unit fits in 10 bits (digits, signs,
    // letters and blanks all do), so a lookup allocates nothing; other numbers keep text keys.
    // Numbers of at least 6 units by their last 6 units; each list is in contact order, one entry per
    // contact.
    QHash<uint64_t, std::vector<Match>> suffixPacked_;
    QHash<QString, std::vector<Match>> suffixText_;
    // Numbers of at most 6 units to the last contact holding them.
    QHash<uint64_t, uint32_t> exactPacked_;
    QHash<QString, uint32_t> exactText_;
};

} // namespace tessa
