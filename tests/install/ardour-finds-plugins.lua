-- Ardour's own plug-in discovery, in a new session on the Dummy backend. Run by ardour7-lua:
--   ardour-finds-plugins.lua SESSION_FOLDER SESSION_NAME
--     only starts Ardour, which looks through its plug-in folders and records what it
--     finds in its scan log (a new Linux VST waits there for the scanner);
--   ardour-finds-plugins.lua SESSION_FOLDER SESSION_NAME VST_FILE [LV2_URI]
--     asks Ardour for the Linux VST "Korvalex", which it must know at VST_FILE, and for
--     the LV2 plug-in LV2_URI if given, and loads each. Prints "found TYPE PATH" lines.
io.stdout:setvbuf("no")

local folder, name, vstFile, lv2Uri = arg[1], arg[2], arg[3], arg[4]
if not folder or not name then
  error("usage: ardour-finds-plugins.lua SESSION_FOLDER SESSION_NAME [VST_FILE [LV2_URI]]")
end
if not create_session(folder, name, 44100) then
  error("cannot create the session " .. folder)
end
if not vstFile then
  close_session()
  return
end

local function find(id, kind, kindName)
  local info = ARDOUR.LuaAPI.new_plugin_info(id, kind)
  if info:isnil() then
    error("Ardour's plug-in scan found no " .. kindName .. " " .. id)
  end
  -- A Linux VST is known by its file, an LV2 plug-in by its URI (its path reads NOPATH).
  print("found " .. kindName .. " " .. (kind == ARDOUR.PluginType.LV2 and id or info.path))
  local insert = ARDOUR.LuaAPI.new_plugin(Session, id, kind, "")
  if insert:isnil() then
    error("Ardour found the " .. kindName .. " " .. id .. " but cannot load it")
  end
  insert = nil
  return info.path
end

local vstPath = find("Korvalex", ARDOUR.PluginType.LXVST, "Linux VST")
if vstPath ~= vstFile then
  error("Ardour found the Linux VST at " .. vstPath .. ", not at " .. vstFile)
end
if lv2Uri then
  find(lv2Uri, ARDOUR.PluginType.LV2, "LV2")
end

collectgarbage()
collectgarbage()
close_session()
