"""PDF signing: signers, fields, timestamps."""
