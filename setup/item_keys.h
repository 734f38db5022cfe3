// The registry keys the installer hooks remove: the item's Today key with its
// stored settings, and the installer's application key for the package.
#pragma once

// Deletes both keys; a key that cannot be opened or deleted is skipped.
void RemoveItemKeys();
