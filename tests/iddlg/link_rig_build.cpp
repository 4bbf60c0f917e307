// The link tests' rig, built into this test program as well.
#include "tests/link/link_rig.cpp"  // NOLINT(bugprone-suspicious-include)
