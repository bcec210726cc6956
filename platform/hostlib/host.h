#pragma once

// Everything a module takes from its host, in one include.

#include "platform/hostlib/basewindow.h"
#include "platform/hostlib/busyindicator.h"
#include "platform/hostlib/errors.h"
#include "platform/hostlib/hooks.h"
#include "platform/hostlib/localcache.h"
#include "platform/hostlib/localquery.h"
#include "platform/hostlib/messages.h"
#include "platform/hostlib/moduleapi.h"
#include "platform/hostlib/modules.h"
#include "platform/hostlib/routines.h"
#include "platform/hostlib/settings.h"
