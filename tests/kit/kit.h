#pragma once
// The test kit, all of it: FakeServer (scripted HTTP server), FakeAnthropic (the Messages API
// for the real Claude Code CLI), StoreFixture (a Store wired for
// tests), ReferenceServer (the real team server in a child process), PostgresCluster (a database
// for it), SlowSecrets (a secret store that answers late or never) and obj()/val() (JSON literals
// written as text). Every suite links corvane_testkit through corvane_test().
#include "fakeanthropic.h"
#include "fakeserver.h"
#include "postgres.h"
#include "referenceserver.h"
#include "slowsecrets.h"
#include "storefixture.h"
#include "testjson.h"
