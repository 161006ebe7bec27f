"""Client of the Corvane remote PDF-signing service."""
