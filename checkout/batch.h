// The payment batch: one record per confirmed order in numbered batch files,
// counted in "batchcfg.ini" beside the program.
#pragma once
#include <string>
#include <string_view>

#include "checkout/csv.h"
#include "request/shop.h"

// Appends "card,monthyear,type,total\n" to the current batch file (the batch
// directory, the file number, ".imp") and advances the counters "File" and
// "Last" of "BatchConfig", starting the next file once one holds 451
// records. The counters advance even when the record cannot be written;
// nothing is reported. Counters and record are handled under one lock, so
// concurrent orders neither share a count nor lose a record. The card number
// and the expiry, which the shopper typed, are written as `formulas` says.
void append_batch_record(const Shop& shop, std::string_view card, std::string_view month, std::string_view year,
                         std::string_view type, std::string_view total, Formulas formulas = Formulas::as_stored);
