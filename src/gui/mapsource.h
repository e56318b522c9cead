#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

#include "imageplan.h"
#include "jobrun.h"
#include "memorymap.h"
#include "tabjobs.h"

class JobRunner;
class UserDialogs;

// A tab as the memory map sees it: the maps of the image its current settings would build, and the
// flash the image is meant for, which the map window lets the user choose.
class MapSource {
public:
    virtual ~MapSource() = default;

    virtual MemoryMapSet memoryMaps() const = 0;
    // As config.conf keeps it ("0x40000"); empty: no limit.
    virtual QString flashSize() const = 0;
    virtual void setFlashSize(const QString &size) = 0;
    // Only images that carry addresses say where their flash starts.
    virtual bool hasFlashBase() const { return false; }
    virtual QString flashBase() const { return QString(); }
    virtual void setFlashBase(const QString &) {}

    // Called when a build is about to meet an overlap: the window shows the map beside the error.
    void setOverlapHandler(std::function<void()> handler) { m_showOverlap = std::move(handler); }

protected:
    // Before the build of a plan: shows the map when pieces overlap (the build then says why it
    // refuses), and asks whether to build an image that does not fit its flash. False: the user
    // said no.
    bool confirmBuild(const ImagePlan &plan, UserDialogs &dialogs) const;
    // "Сборка" as every tab runs it: plans the job, asks confirmBuild on the window's thread, builds
    // the plan and says the plan's closing text. Planning and building run off the window's thread
    // through `jobs`, under "Идет процесс сборки...", their problems shown as boxes. The images
    // written; none when the build was refused, failed or was cancelled.
    std::optional<QStringList> planAndBuild(const std::function<ImagePlan(JobRun &)> &plan, JobRunner &jobs,
                                            UserDialogs &dialogs) const;

private:
    std::function<void()> m_showOverlap;
};

// The maps of a tab's job, or why there is none: the field whose text is no number, named as the
// tab names it.
template <typename Job>
MemoryMapSet memoryMapsOfMade(const JobFromSettings<Job> &made, const QString &invalidFieldName)
{
    if (made.ok()) {
        JobRun run;
        return memoryMapsOf(planImages(made.job, run, PlanPurpose::Look));
    }
    MemoryMapSet set;
    set.problems << made.invalidOffset->message(invalidFieldName);
    return set;
}
