// Deciding, from the decoded records, what removing one product deletes and what it keeps.
#include "uninstall/uninstaller/removal_plan.h"

#include <algorithm>
#include <set>

#include "archive/ascii_case.h"
#include "archive/names.h"

namespace kv::uninstall {
namespace {

// The thing on disk a record stands for, compared as Windows compares paths: two records with the
// same key name the same file, even when their spellings differ in letter case or doubled
// separators, or their captions differ behind the first full stop. When in doubt the file is
// taken for the same one, and kept.
std::string TargetKey(const UninstallRecord& record) {
    if (record.kind == kKindShortcut) {
        return (record.location != 0 ? "D|" : "P|") + ComparablePath(ShortcutRelativePath(record));
    }
    return "F|" + ComparablePath(record.text);
}

// A root as the prefix that paths below it are compared with: no separator at its end (C:\ gives C:).
std::string WithoutTrailingSeparators(std::string path) {
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
}

}  // namespace

std::string ShortcutRelativePath(const UninstallRecord& record) {
    const std::string name = archive::ShortcutFileName(record.text);
    // The installer treats any non-zero location as the Desktop.
    return record.location != 0 ? name : record.menuFolder + "\\" + name;
}

RemovalPlan PlanRemoval(const std::vector<UninstallRecord>& records, const std::string& product) {
    RemovalPlan plan;
    std::vector<std::size_t> own;
    std::set<std::string> claimedByOthers;
    bool inProduct = false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const UninstallRecord& record = records[i];
        if (record.kind == kKindProduct) {
            // Product names compare exactly, like the installer's own duplicate test.
            inProduct = record.text == product;
            if (inProduct) plan.products.push_back(i);
            continue;
        }
        if (inProduct) {
            own.push_back(i);
        } else {
            claimedByOthers.insert(TargetKey(record));
        }
    }
    // A file that two products installed at the same path stays until the last of them is removed:
    // deleting it would break the product that remains, and its record keeps it listed there.
    // The product that goes only drops its own record.
    for (const std::size_t i : own) {
        const UninstallRecord& record = records[i];
        if (claimedByOthers.count(TargetKey(record)) != 0) {
            plan.shared.push_back(i);
        } else if (record.kind == kKindShortcut) {
            plan.shortcuts.push_back(i);
        } else {
            plan.files.push_back(i);
        }
    }
    return plan;
}

std::vector<UninstallRecord> RemainingRecords(const std::vector<UninstallRecord>& records, const RemovalPlan& plan,
                                              const std::vector<std::size_t>& notRemoved, bool keepProduct) {
    std::vector<bool> own(records.size(), false);
    for (const auto* list : {&plan.products, &plan.files, &plan.shortcuts, &plan.shared}) {
        for (const std::size_t i : *list) own[i] = true;
    }
    std::vector<UninstallRecord> kept;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!own[i]) kept.push_back(records[i]);
    }
    // What is left of the product goes last, behind its product record: the other products keep
    // their records in order, and a later installation of the same product appends after it, so
    // its new records still belong to it.
    if ((keepProduct || !notRemoved.empty()) && !plan.products.empty()) {
        kept.push_back(records[plan.products.front()]);
        std::vector<std::size_t> order = notRemoved;
        std::sort(order.begin(), order.end());
        for (const std::size_t i : order) kept.push_back(records[i]);
    }
    return kept;
}

bool HasProduct(const std::vector<UninstallRecord>& records) {
    return std::any_of(records.begin(), records.end(), [](const UninstallRecord& r) { return r.kind == kKindProduct; });
}

namespace {

bool HasParentPart(const std::string& path) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find_first_of("\\/", start);
        const std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part == "..") return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

}  // namespace

std::optional<Damage> FirstUnsafe(const std::vector<UninstallRecord>& records, const RemovalPlan& plan,
                                  const std::string& folder) {
    // The installer places every logged file below the installation folder; a record that points
    // elsewhere did not come from it, and acting on it could delete anything.
    for (const std::size_t i : plan.files) {
        const std::string& path = records[i].text;
        if (HasParentPart(path) || FoldersBelow(path + "\\x", folder).empty())
            return Damage{DamageKind::FileOutsideFolder, i + 1, 0, path, folder};
    }
    for (const std::size_t i : plan.shortcuts) {
        const std::string shortcut = ShortcutRelativePath(records[i]);
        if (HasParentPart(shortcut)) return Damage{DamageKind::ShortcutLeavesFolder, i + 1, 0, shortcut};
    }
    return std::nullopt;
}

std::vector<std::string> FoldersBelow(const std::string& spelled, const std::string& root) {
    // Both in one spelling, so that a doubled separator in either does not hide the folders.
    const std::string path = CanonicalPath(spelled);
    const std::string base = WithoutTrailingSeparators(CanonicalPath(root));
    std::vector<std::string> folders;
    if (base.empty() || path.size() <= base.size() + 1 || !SamePath(path.substr(0, base.size()), base) ||
        path[base.size()] != '\\') {
        return folders;
    }
    std::string folder = path;
    for (;;) {
        const std::size_t slash = folder.rfind('\\');
        if (slash == std::string::npos || slash <= base.size()) break;
        folder.resize(slash);
        folders.push_back(folder);
    }
    return folders;
}

}  // namespace kv::uninstall
