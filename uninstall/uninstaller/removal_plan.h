// What removing one product means for the records of a data file: which files and shortcuts go,
// which stay because another product claims them, and which records the rewritten file keeps.
// Plain C++: decided from the decoded records and the product name alone.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "uninstall/log_format.h"

namespace kv::uninstall {

struct RemovalPlan {
    std::vector<std::size_t> products;   // the product's own product records (more than one when duplicated)
    std::vector<std::size_t> files;      // file records whose file is to be deleted
    std::vector<std::size_t> shortcuts;  // shortcut records whose .lnk file is to be deleted
    // Records of the product whose file or shortcut another product's records name too: the record
    // leaves with the product, the file stays for the other one.
    std::vector<std::size_t> shared;
    bool found() const { return !products.empty(); }
};

// A record belongs to a product when it follows that product's record, up to the next product
// record. Records before the first product record belong to none and are never touched.
RemovalPlan PlanRemoval(const std::vector<UninstallRecord>& records, const std::string& product);

// The records the rewritten data file keeps: every record of the other products (and of none), in
// their order; of this product's, only those listed in `notRemoved` (indices into `records`), at
// the end behind one product record, so that the next run finds and finishes them. `keepProduct`
// keeps that product record even when nothing else is left (its registry key could not be deleted).
std::vector<UninstallRecord> RemainingRecords(const std::vector<UninstallRecord>& records, const RemovalPlan& plan,
                                              const std::vector<std::size_t>& notRemoved, bool keepProduct = false);

// True when at least one product record is left (the data file is deleted otherwise).
bool HasProduct(const std::vector<UninstallRecord>& records);

// The first record of the plan that would make the removal reach outside its places: a file not
// below the installation folder `folder`, or a path, menu folder or shortcut name with a ".."
// part. Nothing when every record is safe to act on.
std::optional<Damage> FirstUnsafe(const std::vector<UninstallRecord>& records, const RemovalPlan& plan,
                                  const std::string& folder);

// The folders between `path`'s own folder and `root` (exclusive), deepest first, when `path` lies
// below `root`; empty otherwise. "C:\App\a\b\f.txt" under "C:\App" gives C:\App\a\b, C:\App\a.
std::vector<std::string> FoldersBelow(const std::string& path, const std::string& root);

// The shortcut file of a shortcut record, relative to its special folder: "Caption.lnk" for the
// Desktop, "Group\Caption.lnk" for the Programs menu.
std::string ShortcutRelativePath(const UninstallRecord& record);

}  // namespace kv::uninstall
