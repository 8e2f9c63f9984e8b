-- Creates an empty Ardour session with one stereo audio track, "guitar", and saves it.
-- Run by ardour7-lua: create-session.lua SESSION_FOLDER SESSION_NAME [editor-shown [lv2]]
-- With "editor-shown" the track gets the Korvalex plug-in (a Linux VST from the scan
-- cache, or with "lv2" the LV2 plug-in from LV2_PATH), and the session's GUI state marks
-- the plug-in's window as shown, so that Ardour's GUI opens the plug-in's editor when it
-- loads the session.
io.stdout:setvbuf("no")

local folder, name, option, format = arg[1], arg[2], arg[3], arg[4] or "vst"
if not folder or not name or (option and option ~= "editor-shown") or (format ~= "vst" and format ~= "lv2") then
  error("usage: create-session.lua SESSION_FOLDER SESSION_NAME [editor-shown [lv2]]")
end

local session = create_session(folder, name, 44100)
if not session then
  error("cannot create the session " .. folder)
end
if Session:nominal_sample_rate() ~= 44100 then
  error("the session runs at " .. Session:nominal_sample_rate() .. " Hz, not 44100 Hz")
end

-- Two inputs, two outputs: the track feeds both channels of its region to the plug-in.
local tracks = Session:new_audio_track(2, 2, nil, 1, "guitar", ARDOUR.PresentationInfo.max_order,
                                       ARDOUR.TrackMode.Normal, true)
if tracks:size() ~= 1 then
  error("cannot add the track")
end

local windowState, route, insert = nil, nil, nil
if option == "editor-shown" then
  route = Session:route_by_name("guitar")
  local type = format == "lv2" and ARDOUR.PluginType.LV2 or ARDOUR.PluginType.LXVST
  insert = ARDOUR.LuaAPI.new_plugin(Session, "Korvalex", type, "")
  if insert:isnil() then
    error("Ardour cannot load Korvalex as " .. format .. " (is it in LXVST_PATH and the scan cache, or in LV2_PATH?)")
  end
  if route:add_processor_by_index(insert, 0, nil, true) ~= 0 then
    error("cannot add the plug-in to the track")
  end
  -- The GUI keeps each plug-in window's state as "P-<route id>-<processor id>", its own
  -- editor ("custom-ui") rather than Ardour's generic controls; the size is the editor's
  -- with Ardour's bar of preset and bypass buttons above it.
  windowState = string.format('  <Extra>\n    <UI>\n      <Window name="P-%s-%s" visible="1" x-off="0" y-off="0" '
    .. 'x-size="899" y-size="461" custom-ui="1"/>\n    </UI>\n  </Extra>\n',
    route:to_stateful():id():to_s(), insert:to_stateful():id():to_s())
end

Session:save_state("", false, false, false, false, false)
-- Ardour's objects must go before the session does: a track that Lua's collector frees
-- after close_session() unregisters its ports with an engine that is gone (a crash at exit).
tracks, route, insert = nil, nil, nil
collectgarbage()
collectgarbage()
close_session()

if windowState then
  local path = folder .. "/" .. name .. ".ardour"
  local f = assert(io.open(path, "r"))
  local xml = f:read("a")
  f:close()
  local result, count = xml:gsub("</Session>", function() return windowState .. "</Session>" end, 1)
  if count ~= 1 or xml:find("<Extra>", 1, true) then
    error("unexpected session file " .. path)
  end
  f = assert(io.open(path, "w"))
  f:write(result)
  f:close()
end
print("created the session " .. folder .. " (" .. AudioEngine:current_backend_name() .. " backend)")
