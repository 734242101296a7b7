#pragma once

#include "deck/TimeBase.h"
#include "eventlist/CmxReader.h"
#include "eventlist/EventList.h"
#include "eventlist/ListWarning.h"

#include <string>
#include <vector>

// A list kept in a file, in CMX 3600.
//
// Saving replaces the file whole (AtomicFile): a process killed or a machine losing power at
// any moment of a save leaves the old list or the new one, never a mixture; a killed save may
// leave its temporary file behind. The file keeps its permissions; a new file is readable by all.
//
// Both calls touch nothing but their arguments and the file: a save may run on a worker
// thread with a copy of the list (EventList copies are snapshots), while the model goes on.
// Two saves of the same file at once each replace it whole; the later rename wins.
class ListFile {
public:
    // Throws ListError, naming the file, when it cannot be read or its list does not fit the base.
    static ReadList load(const std::string& path, TimeBase base);
    // Returns the writer's warnings. Throws ListError when the file cannot be replaced; it is
    // then as it was.
    static std::vector<ListWarning> save(const std::string& path, const EventList& list);
};
