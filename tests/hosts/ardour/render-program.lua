-- Renders the two input files through the Korvalex plug-in in Ardour, with one of its
-- factory programs, by bouncing the track of a session made by create-session.lua.
--
-- Run by ardour7-lua:
--   render-program.lua SESSION_FOLDER SESSION_NAME LEFT_FILE RIGHT_FILE FRAMES PROGRAM OUT_FOLDER [lv2]
-- LEFT_FILE and RIGHT_FILE are names of mono files already in the session's audio folder.
-- The plug-in is the Linux VST, or with "lv2" the LV2 plug-in, whose presets are the
-- factory programs.
-- Writes into OUT_FOLDER:
--   host-values.txt  "index value" per plug-in parameter, as Ardour reads them after the
--                    program change
--   bounced.txt      the paths of the bounced files, left then right
--
-- Ardour's Lua API cannot import audio without its GUI, so the region is written into the
-- saved session file first and the session is then opened.
io.stdout:setvbuf("no")

local folder, name, leftFile, rightFile = arg[1], arg[2], arg[3], arg[4]
local frames, program, out, format = tonumber(arg[5]), tonumber(arg[6]), arg[7], arg[8] or "vst"
if not (folder and name and leftFile and rightFile and frames and program and out)
    or (format ~= "vst" and format ~= "lv2") then
  error("usage: render-program.lua SESSION_FOLDER SESSION_NAME LEFT RIGHT FRAMES PROGRAM OUT_FOLDER [lv2]")
end
local kParameters = 53  -- the LV2 plug-in's first 53 control ports are the VST plug-in's parameters

local kSampleRate = 44100
local kSuperclockPerSample = 282240000 / kSampleRate  -- Ardour 7 keeps audio time in superclock ticks

local function readFile(path)
  local f = assert(io.open(path, "r"))
  local text = f:read("a")
  f:close()
  return text
end

local function writeFile(path, text)
  local f = assert(io.open(path, "w"))
  f:write(text)
  f:close()
end

-- Replaces exactly one match of `pattern` or stops with `what` in the message.
local function replaceOnce(text, pattern, replacement, what)
  local result, count = text:gsub(pattern, replacement, 1)
  if count ~= 1 then
    error("the session file has no " .. what)
  end
  return result
end

---------------------------------------------------------------------------------------------
-- 1. The two files as sources, one whole-file region over both, and a copy of that region
--    at position 0 in the track's playlist. Fades and the gain envelope are off, so the
--    plug-in receives the files' samples unchanged.
local sessionFile = folder .. "/" .. name .. ".ardour"
local xml = readFile(sessionFile)
local counter = tonumber(xml:match('id%-counter="(%d+)"'))
if not counter then
  error("the session file has no id counter")
end
local leftId, rightId, wholeId, trackRegionId = counter + 1, counter + 2, counter + 3, counter + 4
xml = replaceOnce(xml, 'id%-counter="%d+"', 'id-counter="' .. (counter + 5) .. '"', "id counter")

local length = string.format("a%d@a0", frames * kSuperclockPerSample)

local function sourceNode(file, id)
  return string.format('    <Source name="%s" type="audio" flags="" id="%d" natural-position="a0" '
    .. 'channel="0" origin="" gain="1"/>\n', file, id)
end

local function regionNode(id, wholeFile)
  return string.format('<Region name="input" muted="0" opaque="1" locked="0" video-locked="0" '
    .. 'automatic="0" whole-file="%d" import="0" external="0" sync-marked="0" left-of-split="0" '
    .. 'right-of-split="0" hidden="0" position-locked="0" valid-transients="0" start="a0" '
    .. 'length="%s" sync-position="a0" ancestral-start="a0" ancestral-length="a0@a0" stretch="1" '
    .. 'shift="1" layering-index="0" tags="" contents="0" envelope-active="0" default-fade-in="0" '
    .. 'default-fade-out="0" fade-in-active="0" fade-out-active="0" scale-amplitude="1" id="%d" '
    .. 'type="audio" first-edit="nothing" source-0="%d" source-1="%d" master-source-0="%d" '
    .. 'master-source-1="%d" channels="2"/>',
    wholeFile and 1 or 0, length, id, leftId, rightId, leftId, rightId)
end

xml = replaceOnce(xml, "<Sources/>",
  "<Sources>\n" .. sourceNode(leftFile, leftId) .. sourceNode(rightFile, rightId) .. "  </Sources>",
  "empty source list")
xml = replaceOnce(xml, "<Regions/>",
  "<Regions>\n    " .. regionNode(wholeId, true) .. "\n  </Regions>", "empty region list")
xml = replaceOnce(xml, '(<Playlist [^>]-name="guitar"[^>]-)/>',
  "%1>\n      " .. regionNode(trackRegionId, false) .. "\n    </Playlist>", "empty playlist for the track")
writeFile(sessionFile, xml)

---------------------------------------------------------------------------------------------
-- 2. Reopen the session and check that the region arrived.
if not load_session(folder, name) then
  error("cannot open the session " .. folder)
end
if Session:nominal_sample_rate() ~= kSampleRate then
  error("the session runs at " .. Session:nominal_sample_rate() .. " Hz")
end
local route = Session:route_by_name("guitar")
if route:isnil() or route:to_track():isnil() then
  error("the session has no track \"guitar\"")
end
local track = route:to_track()
local regions = track:playlist():region_list()
if regions:size() ~= 1 then
  error("the track holds " .. regions:size() .. " regions, not 1")
end
for region in regions:iter() do
  if region:length():samples() ~= frames then
    error("the region is " .. region:length():samples() .. " frames long, not " .. frames)
  end
end

-- Stop the audio engine: with it running, the track processes silence in the background
-- and the plug-in would start the bounce in a state that depends on timing. A bounce does
-- not need the engine.
AudioEngine:stop()
if AudioEngine:running() then
  error("cannot stop the audio engine")
end

---------------------------------------------------------------------------------------------
-- 3. The plug-in, found through the scan cache as a Linux VST (or on LV2_PATH as an LV2
--    plug-in), with the factory program selected the way Ardour selects a VST program (its
--    "VST:<id>:<program>" preset) or an LV2 preset.
local insert
if format == "lv2" then
  insert = ARDOUR.LuaAPI.new_plugin(Session, "Korvalex", ARDOUR.PluginType.LV2, "")
else
  insert = ARDOUR.LuaAPI.new_plugin(Session, "Korvalex", ARDOUR.PluginType.LXVST, "")
end
if insert:isnil() then
  error("Ardour cannot load Korvalex as " .. format .. " (is it in LXVST_PATH and the scan cache, or in LV2_PATH?)")
end
local plugin = insert:to_insert():plugin(0)
local uri
if format == "lv2" then
  uri = string.format("urn:zarelworks:korvalex:preset:%d", program)
else
  uri = string.format("VST:%d:%04d", plugin:unique_id(), program)
end
local preset = plugin:preset_by_uri(uri)
if not preset then
  error("Ardour offers no program " .. uri)
end
if not plugin:load_preset(preset) or plugin:last_preset().uri ~= uri then
  error("Ardour cannot select the program " .. uri)
end
print("program " .. plugin:last_preset().label)
if track:add_processor_by_index(insert, 0, nil, true) ~= 0 then
  error("cannot add the plug-in to the track")
end

local values = {}
for i = 0, math.min(plugin:parameter_count(), kParameters) - 1 do
  values[#values + 1] = string.format("%d %.9g\n", i, ARDOUR.LuaAPI.get_processor_param(insert, i, true))
end
writeFile(out .. "/host-values.txt", table.concat(values))

---------------------------------------------------------------------------------------------
-- 4. Bounce the track's range through the plug-in (its output included) into new files.
local bounced = track:bounce_range(0, frames, ARDOUR.InterThreadInfo(), insert, true, "korvalex-render", false)
if bounced:isnil() then
  error("the bounce failed")
end
local paths = {}
for c = 0, 1 do
  paths[#paths + 1] = bounced:source(c):to_filesource():path() .. "\n"
end
writeFile(out .. "/bounced.txt", table.concat(paths))
print("bounced " .. bounced:length():samples() .. " frames")
-- Ardour's objects must go before the session does: a track that Lua's collector frees
-- after close_session() unregisters its ports with an engine that is gone (a crash at exit).
route, track, regions, insert, plugin, preset, bounced = nil, nil, nil, nil, nil, nil, nil
collectgarbage()
collectgarbage()
close_session()
