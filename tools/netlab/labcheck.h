#pragma once

#include <QString>

namespace NetLab {

// Empty inside the lab of scripts/netlab: a network namespace of its own,
// not the machine's, whose only links are loopback and the lab's veth end.
// Otherwise what is missing. Whatever broadcasts checks this first.
QString whyOutside();

} // namespace NetLab
