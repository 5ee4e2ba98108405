#include "tools/slave/UnitBuilder.h"

#include <filesystem>
#include <map>

#include "tools/profile/LoadProfile.h"
#include "tools/slave/DeviceIdentity.h"
#include "tools/slave/ProfileModel.h"
#include "tools/slave/TableModel.h"

namespace slave {

namespace {

void Override(std::optional<std::string>& into, const std::optional<std::string>& from) {
    if (from) {
        into = from;
    }
}

profile::Identity Merged(profile::Identity base, const profile::Identity& over) {
    Override(base.vendor, over.vendor);
    Override(base.product, over.product);
    Override(base.revision, over.revision);
    Override(base.vendorUrl, over.vendorUrl);
    Override(base.productName, over.productName);
    Override(base.modelName, over.modelName);
    Override(base.userApplicationName, over.userApplicationName);
    Override(base.serverId, over.serverId);
    return base;
}

// The basic objects always, from the simulator's own where the profile has none; the regular
// ones where given; function 17's text the server id, else the product code.
protocol::DeviceIdentity Served(const profile::Identity& identity) {
    const DeviceIdentity fallback;
    protocol::DeviceIdentity served;
    served.objects = {
        {protocol::kVendorName, identity.vendor.value_or(fallback.vendor)},
        {protocol::kProductCode, identity.product.value_or(fallback.product)},
        {protocol::kMajorMinorRevision, identity.revision.value_or(fallback.revision)}};
    const std::pair<protocol::DeviceObject, const std::optional<std::string>*> regular[] = {
        {protocol::kVendorUrl, &identity.vendorUrl},
        {protocol::kProductName, &identity.productName},
        {protocol::kModelName, &identity.modelName},
        {protocol::kUserApplicationName, &identity.userApplicationName}};
    for (const auto& [object, text] : regular) {
        if (*text) {
            served.objects.emplace_back(object, **text);
        }
    }
    served.running = true;
    served.serverData = identity.serverId.value_or(served.objects[1].second);
    return served;
}

// The command line's faults over a unit's own.
FaultSettings WithCommandLine(FaultSettings faults, const SlaveOptions& options) {
    const FaultSettings given = FaultSettingsOf(options);
    if (!given.plan.Empty()) {
        faults.plan = given.plan;
    }
    faults.silent = faults.silent || given.silent;
    faults.wrongId = faults.wrongId || given.wrongId;
    if (given.corruptEvery > 0) {
        faults.corruptEvery = given.corruptEvery;
    }
    if (given.delayMs > 0) {
        faults.delayMs = given.delayMs;
    }
    return faults;
}

}  // namespace

std::optional<Units> BuildUnits(const SimulatorFile& file, const SlaveOptions& options,
                                std::string& error) {
    std::map<std::string, profile::DeviceProfile> profiles;
    for (const UnitPlan& plan : file.units) {
        if (!plan.profilePath.empty() && !profiles.contains(plan.profilePath)) {
            auto loaded = profile::LoadProfile(plan.profilePath, error);
            if (!loaded) {
                return std::nullopt;
            }
            profiles.emplace(plan.profilePath, std::move(*loaded));
        }
    }
    Units units;
    for (const UnitPlan& plan : file.units) {
        std::vector<int> refused = plan.refused;
        refused.insert(refused.end(), options.refused.begin(), options.refused.end());
        for (const int id : plan.ids) {
            std::unique_ptr<ISimulatedModel> model;
            std::string described = "table";
            if (plan.profilePath.empty()) {
                model = std::make_unique<CTableModel>(options);
            } else {
                const profile::DeviceProfile& loaded = profiles.at(plan.profilePath);
                const profile::Identity identity = Merged(loaded.identity, plan.identity);
                model = std::make_unique<CProfileModel>(loaded, options, Served(identity),
                                                        static_cast<std::uint32_t>(id));
                described = std::filesystem::path(plan.profilePath).filename().string();
            }
            auto unit = std::make_unique<CSlaveUnit>(std::move(model), std::vector<int>{id},
                                                     WithCommandLine(plan.faults, options),
                                                     std::move(described));
            unit->Device().Refuse(refused);
            units.push_back(std::move(unit));
        }
    }
    return units;
}

}  // namespace slave
