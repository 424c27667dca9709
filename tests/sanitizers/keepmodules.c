/* Preloaded into sanitized runs only. Qt unloads its plugins (platform, image formats, input
 * context) while the process exits, before LeakSanitizer looks for leaks; whatever a plugin's
 * static data still pointed to then looks leaked, with a stack in an unmapped module that no
 * suppression can name. Keeping every module mapped until the end lets the leak check see those
 * blocks as referenced, while a block our code loses is still reported with its full stack. */
int dlclose(void *handle)
{
    (void)handle;
    return 0;
}
