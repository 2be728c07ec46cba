#include "checkout/batch.h"

#include "checkout/csv.h"
#include "common/numbers.h"
#include "request/shop.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace {

// A batch file takes this many records; the next record begins a new file.
constexpr long long kRecordsPerFile = 451;

std::string payment_record(std::string_view card, std::string_view month, std::string_view year,
                           std::string_view type, std::string_view total, Formulas formulas) {
    std::string expiry(month);
    expiry += year;
    return csv_line({defused(card, formulas), defused(expiry, formulas), std::string(type), std::string(total)});
}

}  // namespace

void append_batch_record(const Shop& shop, std::string_view card, std::string_view month, std::string_view year,
                         std::string_view type, std::string_view total, Formulas formulas) {
    const std::string counters = shop.program_dir + "batchcfg.ini";
    profile::Lock hold(counters, profile::Durability::synced);
    // Counted in 64 bits: a counter at the 32-bit limit advances instead of
    // overflowing.
    long long file = read_integer(profile::read_text(counters, "BatchConfig", "File"));
    long long last = read_integer(profile::read_text(counters, "BatchConfig", "Last"));
    if (last >= kRecordsPerFile) {
        ++file;
        last = 0;
    }
    files::append(shop.config.batchfile + std::to_string(file) + ".imp",
                  payment_record(card, month, year, type, total, formulas));
    profile::write(counters, "BatchConfig", "File", std::string_view(std::to_string(file)));
    profile::write(counters, "BatchConfig", "Last", std::string_view(std::to_string(last + 1)));
    profile::store_now(counters);
}
