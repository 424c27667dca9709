#pragma once
// The test kit, all of it: FakeServer (scripted HTTP server), FakeAnthropic (the Messages API
// for the real Claude Code CLI), FakeOpenAI (the Responses API for the real Codex CLI),
// StoreFixture (a Store wired for tests), ReferenceServer (the real team server in a child process),
// setUpMachine (a member's machine set up by it), PostgresCluster (a database for the server),
// SlowSecrets (a secret store that answers late or never) and obj()/val() (JSON literals
// written as text). Every suite links corvane_testkit through corvane_test().
#include "fakeanthropic.h"
#include "fakeopenai.h"
#include "fakeserver.h"
#include "machinesetup.h"
#include "postgres.h"
#include "referenceserver.h"
#include "slowsecrets.h"
#include "storefixture.h"
#include "testjson.h"
