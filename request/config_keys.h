// The keys of tavra.cfg's "[Program Config]" section, one row each:
//   X(key, label in the run log, label on the info page)
// A key is both the name in the file and the member of Config; an empty
// label leaves the key out of that record. The rows are in the order in
// which the run log and the info page list their keys. No "key=" is the
// start of another, so a line of the file sets at most one key.
#pragma once

#define TAVRA_CONFIG_KEYS(X)                                  \
    X(webdir, "Web Directory", "Web Directory is ")           \
    X(email, "Email", "Email Address is ")                    \
    X(name, "Name", "Merchant Name is ")                      \
    X(start, "Start Page", "")                                \
    X(table, "Table", "")                                     \
    X(thanks, "Thanks", "Thanks Page is ")                    \
    X(basketdir, "Basket Directory", "Basket Directory is ")  \
    X(tax, "", "Applicable Tax is ")                          \
    X(shiptable, "", "Ship Table is ")                        \
    X(maildir, "", "Mail Directory is ")                      \
    X(batchfile, "", "Batchfile Directory is ")               \
    X(invnumber, "", "")                                      \
    X(dbfile, "", "")                                         \
    X(cgiurl, "", "")                                         \
    X(styles, "", "")
